#include "runtime/backend/qt/qt_text.h"

#include "runtime/values/gbk.h"

namespace rt::qt {

QString toQString(const Text& gbkText) {
    const std::string utf8 = toUtf8(gbkText);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

Text fromQString(const QString& s) {
    Text out;
    for (const QChar *p = s.constData(), *end = p + s.size(); p < end;) {
        // One character (a surrogate pair counts as one) at a time, so a
        // character without a GBK form costs only itself.
        const qsizetype n = (p->isHighSurrogate() && p + 1 < end) ? 2 : 1;
        const QByteArray utf8 = QString(p, n).toUtf8();
        const auto g =
            gbkStrict(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
        if (g && g->find('\0') == std::string::npos)
            out += *g;
        else
            out += '?';
        p += n;
    }
    return out;
}

}  // namespace rt::qt

#include "runtime/backend/qt/qt_html_viewer.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>

#include "runtime/backend/qt/qt_text.h"
#include "runtime/http/page_fetcher.h"
#include "runtime/values/gbk.h"

namespace rt::qt {

namespace {
constexpr int kTransferTimeoutMs = 15000;
constexpr qint64 kMaxPageBytes = 4 << 20;  // a banner page is a few kilobytes
}  // namespace

HtmlViewerWidget::HtmlViewerWidget(QtBackend& backend, ControlRef ref, QWidget* parent)
    : QTextBrowser(parent), ControlWidget(backend, ref), network_(new QNetworkAccessManager(this)) {
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setFrameShape(QFrame::NoFrame);
    network_->setProxy(QNetworkProxy::NoProxy);
    network_->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    network_->setTransferTimeout(kTransferTimeoutMs);
}

HtmlViewerWidget::~HtmlViewerWidget() {
    dropReply();
}

// An abandoned fetch ends without reaching finished().
void HtmlViewerWidget::dropReply() {
    if (!reply_) return;
    QNetworkReply* reply = reply_;
    reply_.clear();
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

void HtmlViewerWidget::sync(const Control& c, Change what) {
    const HtmlViewer* v = c.as<HtmlViewer>();
    if (!v) return;
    if (what == Change::Other || what == Change::Page || shown_.empty()) {
        // Font size 0..4, the middle one being the usual 12 px.
        QFont f = font();
        f.setPixelSize(8 + 2 * std::clamp(v->design.fontSize, 0, 4));
        document()->setDefaultFont(f);
        if (v->url != shown_) navigate(v->url);
    }
}

void HtmlViewerWidget::navigate(const Text& address) {
    shown_ = address;
    dropReply();
    clear();
    const QUrl url(toQString(address));
    if (!url.isValid() ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        return;
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QString::fromLatin1(kUserAgent));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    QNetworkReply* reply = network_->get(request);
    reply_ = reply;
    QObject::connect(reply, &QNetworkReply::finished, this, [this, reply] { finished(reply); });
    QObject::connect(reply, &QNetworkReply::downloadProgress, this,
                     [reply](qint64 received, qint64) {
                         if (received > kMaxPageBytes) reply->abort();
                     });
}

void HtmlViewerWidget::finished(QNetworkReply* reply) {
    reply->deleteLater();
    if (reply != reply_) return;  // an older page, replaced meanwhile
    reply_.clear();
    const QByteArray body = reply->readAll();
    if (body.isEmpty()) return;  // like a viewer whose server is away: an empty page
    setHtml(decodePage(body.left(kMaxPageBytes)));
}

QString HtmlViewerWidget::decodePage(const QByteArray& body) {
    static const QRegularExpression charset(QStringLiteral("charset\\s*=\\s*[\"']?\\s*utf-?8"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QByteArray head = body.left(2048);
    if (charset.match(QString::fromLatin1(head)).hasMatch() || head.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(body);
    const std::string utf8 =
        toUtf8(std::string_view(body.constData(), static_cast<std::size_t>(body.size())));
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// Images, style sheets and frames the page names are not fetched: the view
// shows the page's own text and nothing from the disk or the network.
QVariant HtmlViewerWidget::loadResource(int, const QUrl&) {
    return {};
}

}  // namespace rt::qt

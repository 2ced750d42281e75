#include "runtime/backend/qt/qt_style.h"

#include <cstdlib>

#include <QFontDatabase>

#include "runtime/backend/qt/qt_text.h"

namespace rt::qt {

QStringList cjkFallbackFamilies() {
    return {QStringLiteral("SimSun"),
            QStringLiteral("宋体"),
            QStringLiteral("NSimSun"),
            QStringLiteral("WenQuanYi Micro Hei"),
            QStringLiteral("WenQuanYi Zen Hei"),
            QStringLiteral("Noto Sans CJK SC"),
            QStringLiteral("Noto Serif CJK SC"),
            QStringLiteral("AR PL UMing CN"),
            QStringLiteral("Droid Sans Fallback")};
}

QString resolveFamily(const QString& face) {
    if (!face.isEmpty() && QFontDatabase::hasFamily(face)) return face;
    for (const QString& f : cjkFallbackFamilies())
        if (QFontDatabase::hasFamily(f)) return f;
    return face;
}

QFont fontFor(const std::optional<FontRecord>& record) {
    if (!record) return defaultFont();
    QFont font;
    const QString face = toQString(record->faceName);
    QStringList families{resolveFamily(face)};
    families += cjkFallbackFamilies();  // per-glyph fallback behind the chosen face
    font.setFamilies(families);
    const int height = std::abs(record->height);
    font.setPixelSize(height > 0 ? height : 12);
    if (record->weight > 0)
        font.setWeight(static_cast<QFont::Weight>(std::clamp(record->weight, 100, 900)));
    font.setItalic(record->italic != 0);
    font.setUnderline(record->underline != 0);
    font.setStrikeOut(record->strikeOut != 0);
    return font;
}

QFont defaultFont() {
    FontRecord r;
    r.height = -12;
    r.faceName = "\xCB\xCE\xCC\xE5";  // 宋体 in GBK
    return fontFor(r);
}

QColor colourOf(std::uint32_t c) {
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

bool isTransparent(std::uint32_t c) {
    return (c & 0xFF000000u) != 0;
}

QPalette paletteWithSystemColours(QPalette p, const std::map<int, std::uint32_t>& colours) {
    using namespace sys_colour;
    auto set = [&](QPalette::ColorRole role, int index, bool alsoDisabled = true) {
        auto it = colours.find(index);
        if (it == colours.end()) return;
        const QColor c = colourOf(it->second);
        p.setColor(QPalette::Active, role, c);
        p.setColor(QPalette::Inactive, role, c);
        if (alsoDisabled) p.setColor(QPalette::Disabled, role, c);
    };
    set(QPalette::Window, kButtonFace);
    set(QPalette::Button, kButtonFace);
    set(QPalette::Base, kWindow);
    set(QPalette::AlternateBase, kButtonFace);
    set(QPalette::WindowText, kWindowText, false);
    set(QPalette::Text, kWindowText, false);
    set(QPalette::ButtonText, kButtonText, false);
    set(QPalette::Highlight, kHighlight);
    set(QPalette::HighlightedText, kHighlightText);
    set(QPalette::Light, kButtonHighlight);
    set(QPalette::Midlight, kLight);
    set(QPalette::Mid, kButtonShadow);
    set(QPalette::Dark, kButtonShadow);
    set(QPalette::Shadow, kDarkShadow);
    set(QPalette::ToolTipBase, kInfoBackground);
    set(QPalette::ToolTipText, kInfoText);
    set(QPalette::Link, kHotLight);
    if (auto it = colours.find(kGrayText); it != colours.end()) {
        const QColor c = colourOf(it->second);
        p.setColor(QPalette::Disabled, QPalette::WindowText, c);
        p.setColor(QPalette::Disabled, QPalette::Text, c);
        p.setColor(QPalette::Disabled, QPalette::ButtonText, c);
    }
    return p;
}

}  // namespace rt::qt

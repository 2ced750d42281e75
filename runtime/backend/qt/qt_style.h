// Design values of the template as Qt sees them: fonts with a Chinese
// fallback, 0x00BBGGRR colours, system cursors, and the system colours of the
// skin as a palette.
#pragma once

#include <cstdint>
#include <map>
#include <optional>

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QStringList>

#include "runtime/window/template/type_data.h"

namespace rt::qt {

// Families tried, in order, when a font's face is not installed. The first
// ones are the faces the template names on a Chinese system.
QStringList cjkFallbackFamilies();

// The installed family that stands for `face` (UTF-8): the face itself when
// present, else the first installed Chinese fallback, else `face`.
QString resolveFamily(const QString& face);

// A font record (negative height = character height in pixels, as the
// template stores it); nothing = the window's default font ("宋体", 12 px).
QFont fontFor(const std::optional<FontRecord>& record);
QFont defaultFont();

QColor colourOf(std::uint32_t colorref);  // 0x00BBGGRR
bool isTransparent(std::uint32_t colorref);

// System colour indexes of the skin library.
namespace sys_colour {
inline constexpr int kActiveCaption = 2, kMenu = 4, kWindow = 5, kWindowText = 8, kMenuText = 7,
                     kHighlight = 13, kHighlightText = 14, kButtonFace = 15, kButtonShadow = 16,
                     kGrayText = 17, kButtonText = 18, kButtonHighlight = 20, kDarkShadow = 21,
                     kLight = 22, kInfoText = 23, kInfoBackground = 24, kHotLight = 26,
                     kCaptionText = 9;
}

// `base` with the roles of the given system colours (index -> 0x00BBGGRR)
// replaced; indexes without a role are left out.
QPalette paletteWithSystemColours(QPalette base, const std::map<int, std::uint32_t>& colours);

}  // namespace rt::qt

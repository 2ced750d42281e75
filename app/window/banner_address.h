// The HTML strip's start page lives on the EPG server. The window template
// names it on the built-in server; a guide pointed elsewhere (TVGUIDE_EPG_ROOT)
// shows the banner of the server it reads its schedules from.
#pragma once

#include "runtime/values/value.h"
#include "runtime/window/template/window_template.h"

namespace app {

// Moves every HtmlViewer start address that begins with the built-in root
// onto `root`. Other addresses, and everything else, stay as they are.
void moveBannerToRoot(rt::WindowTemplate& tpl, const rt::Text& root);

}  // namespace app

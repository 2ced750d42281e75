// Model of the web page viewer: its design values and the page it shows. The
// viewer goes to its start address when it is created.
#pragma once

#include "runtime/window/template/type_data.h"

namespace rt {

struct HtmlViewer {
    HtmlViewerData design;  // properties 8 FontSize, 9 Offline, 10 Silent
    Text url;               // property 11: where the viewer is (or goes)
    Text statusText;        // property 12
    Text caption;           // property 13: the page's title
};

}  // namespace rt

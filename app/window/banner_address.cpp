#include "app/window/banner_address.h"

#include "app/config/epg_root.h"
#include "runtime/window/template/type_data.h"

namespace app {

void moveBannerToRoot(rt::WindowTemplate& tpl, const rt::Text& root) {
    const rt::Text builtIn = kBuiltInEpgRoot;
    if (root == builtIn) return;
    for (auto& window : tpl.windows) {
        for (auto& unit : window.units) {
            if (unit.type != rt::unit_type::kHtmlViewer) continue;
            auto data = rt::decodeHtmlViewerData(unit.typeData);
            if (!data || data->startAddress.rfind(builtIn, 0) != 0) continue;
            data->startAddress = root + data->startAddress.substr(builtIn.size());
            unit.typeData = rt::encode(*data);
        }
    }
}

}  // namespace app

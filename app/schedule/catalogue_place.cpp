#include "app/schedule/catalogue_place.h"

namespace app::schedule {

std::optional<CataloguePlace> findInCatalogue(std::string_view path) {
    const auto& groups = catalogue::groups();
    for (std::size_t g = 0; g < groups.size(); ++g)
        for (std::size_t r = 0; r < groups[g].rows.size(); ++r)
            if (groups[g].rows[r].path == path)
                return CataloguePlace{static_cast<int>(g), static_cast<int>(r), &groups[g].rows[r]};
    return std::nullopt;
}

}  // namespace app::schedule

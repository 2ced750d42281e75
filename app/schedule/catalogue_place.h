// Where the catalogue lists a channel, found by its path: favourites and
// reminders keep paths, and show the catalogue's names.
#pragma once

#include <optional>
#include <string_view>

#include "catalogue/catalogue.h"

namespace app::schedule {

struct CataloguePlace {
    int group = 0;
    int row = 0;
    const catalogue::Row* channel = nullptr;  // into the catalogue, valid for the whole run
};

// The first place the catalogue lists `path` ("programys/TV_1/Channel_1/").
std::optional<CataloguePlace> findInCatalogue(std::string_view path);

}  // namespace app::schedule

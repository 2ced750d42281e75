#include <gtest/gtest.h>

#include <cstdlib>

#include "app/epg_root.h"

TEST(EpgRoot, BuiltInUnlessTheEnvironmentNamesAnotherServer) {
    unsetenv("TVGUIDE_EPG_ROOT");
    EXPECT_EQ(app::epgRootFromEnvironment(), "http://127.0.0.1:8610/");
    setenv("TVGUIDE_EPG_ROOT", "", 1);
    EXPECT_EQ(app::epgRootFromEnvironment(), "http://127.0.0.1:8610/");
    setenv("TVGUIDE_EPG_ROOT", "http://epg.lan:8080/", 1);
    EXPECT_EQ(app::epgRootFromEnvironment(), "http://epg.lan:8080/");
    // Catalogue paths are appended directly, so a root without "/" gets one.
    setenv("TVGUIDE_EPG_ROOT", "http://epg.lan:8080", 1);
    EXPECT_EQ(app::epgRootFromEnvironment(), "http://epg.lan:8080/");
    unsetenv("TVGUIDE_EPG_ROOT");
}

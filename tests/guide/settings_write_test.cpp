// The keys the guide writes back into the viewer's settings file.
#include "app/settings_write.h"

#include <gtest/gtest.h>

#include "app/settings_file.h"

namespace {

TEST(SettingsWrite, SetsTheKeyTheReaderTakesAndLeavesTheRest) {
    struct Case {
        const char* text;
        app::SettingValues values;
        const char* written;
    };
    const Case cases[] = {
        {"", {{"favourites", "a/ b/"}}, "favourites=a/ b/\n"},
        {"; mine\nepg_root=http://x/\n",
         {{"favourites", "a/"}},
         "; mine\nepg_root=http://x/\nfavourites=a/\n"},
        // The line the reader takes is rewritten in place; its repeats go.
        {"favourites=old/\n[General]\n favourites = older/\n",
         {{"favourites", "new/"}},
         "favourites=new/\n[General]\n"},
        // A key of another section is another key; new keys go before it.
        {"[Other]\nfavourites=x/\n",
         {{"favourites", "a/"}},
         "favourites=a/\n[Other]\nfavourites=x/\n"},
        // Blanks at either end and a leading quote survive a reading.
        {"", {{"reminders", "x \"y\" \\ "}}, "reminders=\"x \\\"y\\\" \\\\ \"\n"},
        {"reminders=x;\n", {{"reminders", ""}}, "reminders=\n"},
    };
    for (const Case& c : cases) {
        const std::string written = app::withSettings(c.text, c.values);
        EXPECT_EQ(written, c.written) << c.text;
        const auto read = app::parseSettings(written);
        for (const auto& [key, value] : c.values)
            EXPECT_EQ(read.count(key) ? read.at(key) : "", value) << c.text;
    }
}

}  // namespace

// Favourite channels: toggled in order, kept as text, shown as the last group.
#include "app/schedule/favourites.h"

#include <gtest/gtest.h>

#include "schedule_fixtures.h"

namespace {

using app::schedule::Favourites;
using schedule_test::pathOf;

TEST(Favourites, ToggleKeepsTheOrderOfAdding) {
    const std::string a = pathOf(0, 0), b = pathOf(3, 1), c = pathOf(9, 0);
    struct Step {
        std::string path;
        bool now;
        std::vector<std::string> paths;
    };
    const Step steps[] = {
        {b, true, {b}},
        {a, true, {b, a}},
        {c, true, {b, a, c}},
        {a, false, {b, c}},
        {a, true, {b, c, a}},
        {"programys/TV_0/Channel_0/", false, {b, c, a}},  // not a catalogue channel
    };
    Favourites favourites;
    for (const Step& s : steps) {
        EXPECT_EQ(favourites.toggle(s.path), s.now) << s.path;
        EXPECT_EQ(favourites.paths(), s.paths) << s.path;
    }
    const catalogue::Group group = app::schedule::favouritesGroup(favourites);
    EXPECT_EQ(U(group.title), "我的收藏");
    ASSERT_EQ(group.rows.size(), 3u);
    EXPECT_EQ(group.rows[0].name, catalogue::groups()[3].rows[1].name);
    EXPECT_EQ(group.rows[2].path, a);
}

TEST(Favourites, TextFormKeepsOrderAndDropsWhatTheCatalogueLacks) {
    const std::string a = pathOf(0, 0), b = pathOf(5, 2);
    struct Case {
        std::string text;
        std::vector<std::string> paths;
    };
    const Case cases[] = {
        {b + " " + a, {b, a}},
        {"  " + a + "\t\t" + b + "\n", {a, b}},
        {a + " programys/GONE/ " + a + " " + b, {a, b}},
        {"", {}},
    };
    for (const Case& c : cases) {
        const Favourites read = Favourites::fromText(c.text);
        EXPECT_EQ(read.paths(), c.paths) << c.text;
        EXPECT_EQ(Favourites::fromText(read.toText()).paths(), c.paths) << c.text;
    }
}

}  // namespace

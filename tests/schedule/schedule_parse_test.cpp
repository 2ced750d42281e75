#include "app/schedule/schedule_parse.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "../guide/day_page.h"
#include "gbk_literal.h"
#include "literal_parse.h"

namespace {

using app::parseSchedule;
using app::ScheduleRow;

// A row as pages put them, one per line.
std::string line(const std::string& time, const std::string& title) {
    return daypage::row(time, title) + "\r\n";
}

TEST(ScheduleParse, WorkedExample) {
    const std::string page =
        "<div align='center'><div id='e1' ><b>07:00</b></div><div id='e2' ><a href='x.htm'>" +
        G("新闻联播") + "</a> " + G("剧情") + "</div></div>";
    const auto rows = parseSchedule(page);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].time, " 07:00");
    EXPECT_EQ(U(rows[0].title), "新闻联播 ");
}

TEST(ScheduleParse, RowsInPageOrderAndEmptyPages) {
    EXPECT_TRUE(parseSchedule("").empty());
    EXPECT_TRUE(parseSchedule("<html>no schedule</html>").empty());
    const auto rows =
        parseSchedule("<table>" + line("08:00", "A") + line("09:30", "B") + "</table>");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (ScheduleRow{" 08:00", "A"}));
    EXPECT_EQ(rows[1], (ScheduleRow{" 09:30", "B"}));
}

TEST(ScheduleParse, TitleIsCutBeforeTheFirstPlotLink) {
    const auto rows =
        parseSchedule(line("1", G("剧情") + "x") + line("2", "plain") + line("3", G("a剧情b剧情")));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].title, "");
    EXPECT_EQ(rows[1].title, "plain");
    EXPECT_EQ(rows[2].title, "a");
    // The bytes of the cut word straddling two characters are not the word.
    // (Appended: GCC 12 at -O3 takes "literal" + std::string for an overlapping copy.)
    const std::string straddling = std::string("\xb0").append(G("剧情x"));
    EXPECT_EQ(parseSchedule(line("4", straddling))[0].title, straddling);
}

TEST(ScheduleParse, ExactPatternsAndMissingDivs) {
    EXPECT_EQ(parseSchedule(std::string(" ").append(line("&nbsp;19:30", "t")))[0].time,
              " &nbsp;19:30");
    EXPECT_TRUE(parseSchedule("<div ALIGN='center'><div id='e1' >1</div></div>").empty());
    EXPECT_EQ(parseSchedule("align='center'><div id=e1>1</div><div id='e2' >t</div></div>")[0],
              (ScheduleRow{" ", "t"}));
    EXPECT_EQ(parseSchedule("align='center'><div id='e1' >1</div></div>")[0],
              (ScheduleRow{" 1", ""}));
    // A title over several lines still matches.
    EXPECT_EQ(parseSchedule(line("1", "line one\r\nline two"))[0].title, "line one\r\nline two");
    // Only the first time div counts; a row ends at the first "</div></div>".
    EXPECT_EQ(parseSchedule("align='center'><div id='e1' >1</div><div id='e1' >2</div></div>"
                            "<div id='e2' >late</div></div>")[0],
              (ScheduleRow{" 1", ""}));
}

// A NUL anywhere in a fetched page costs no row: not the one it sits in, nor
// any after it.
TEST(ScheduleParse, ANulInTheBodyEndsNoList) {
    struct Case {
        const char* where;
        std::string page;
        std::vector<ScheduleRow> rows;
    };
    const std::string nul(1, '\0');
    const Case cases[] = {
        {"between rows",
         line("08:00", "A") + nul + line("09:30", "B"),
         {{" 08:00", "A"}, {" 09:30", "B"}}},
        {"in a title",
         line("08:00", "A" + nul + "B") + line("09:30", "C"),
         {{" 08:00", "AB"}, {" 09:30", "C"}}},
        {"inside a pattern",
         "align='cen" + nul + "ter'><div id='e1' >1</div></div>" + line("2", "t"),
         {{" 1", ""}, {" 2", "t"}}},
        {"inside a character",
         line("1", G("新").substr(0, 1) + nul + G("新").substr(1)),
         {{" 1", G("新")}}},
    };
    for (const Case& c : cases) {
        const rt::Bytes body(c.page.begin(), c.page.end());
        EXPECT_EQ(parseSchedule(app::pageText(body)), c.rows) << c.where;
    }
}

TEST(ScheduleParse, RowOpenersWithoutACloserGiveNoRows) {
    std::string page;
    for (int i = 0; i < 1000; ++i) page += "align='center'><div id='e1' >x</div>";
    EXPECT_TRUE(parseSchedule(page).empty());
    EXPECT_EQ(parseSchedule(page + "</div></div>").size(), 1u);
}

// Pages assembled from the pieces the patterns look for, in random order.
TEST(ScheduleParse, AgreesWithTheRegexAlgorithmOnGeneratedPages) {
    const std::string pieces[] = {"align='center'>",
                                  "</div></div>",
                                  "<div id='e1' >",
                                  "<div id='e2' >",
                                  "</div>",
                                  "<b>",
                                  "</b>",
                                  "<",
                                  ">",
                                  "x",
                                  G("剧情"),
                                  G("节目"),
                                  "\xb0",
                                  "\r\n",
                                  "align='center'",
                                  "</div"};
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> count(0, 40);
    std::uniform_int_distribution<size_t> pick(0, std::size(pieces) - 1);
    size_t rowsSeen = 0;
    for (int round = 0; round < 5000; ++round) {
        std::string page;
        for (int k = count(rng); k > 0; --k) page += pieces[pick(rng)];
        const auto want = literal::parseSchedule(page);
        rowsSeen += want.size();
        ASSERT_EQ(parseSchedule(page), want) << "round " << round << " page [" << page << "]";
    }
    EXPECT_GT(rowsSeen, 500u);
}

}  // namespace

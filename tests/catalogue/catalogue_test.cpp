#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "catalogue/catalogue.h"
#include "gbk_literal.h"

namespace {

const rt::Text kRoot = "http://127.0.0.1:8610/";

TEST(Catalogue, TenGroupsInMenuOrderWith215Rows) {
    const auto& groups = catalogue::groups();
    ASSERT_EQ(groups.size(), 10u);
    const char* titles[] = {"央视频道", "中国教育电视台", "中数传媒", "央视风云", "北广传媒",
                            "数字频道", "全国卫视",       "境外频道", "境外体育", "境外影视"};
    const size_t counts[] = {28, 6, 38, 14, 11, 44, 38, 14, 7, 15};
    size_t total = 0;
    for (size_t g = 0; g < 10; ++g) {
        EXPECT_EQ(U(groups[g].title), titles[g]) << "group " << g;
        EXPECT_EQ(groups[g].rows.size(), counts[g]) << "group " << g;
        total += groups[g].rows.size();
    }
    EXPECT_EQ(total, 215u);
}

TEST(Catalogue, EveryPathHasItsKindAndAllUrlsAreDistinct) {
    const std::regex shape("(programys|programws|programjw)/TV_[0-9]*/Channel_[0-9]+/");
    std::set<rt::Text> urls;
    const auto& groups = catalogue::groups();
    for (int g = 0; g < 10; ++g) {
        const char* kind = g <= 5 ? "programys/" : g == 6 ? "programws/" : "programjw/";
        for (int r = 0; r < static_cast<int>(groups[g].rows.size()); ++r) {
            std::string path(groups[g].rows[r].path);
            EXPECT_TRUE(std::regex_match(path, shape)) << g << "," << r << " " << path;
            EXPECT_EQ(path.rfind(kind, 0), 0u) << g << "," << r;
            rt::Text url = catalogue::channelBaseUrl(kRoot, g, r);
            EXPECT_EQ(url, kRoot + path);
            EXPECT_TRUE(urls.insert(url).second) << "duplicate " << url;
        }
    }
    EXPECT_EQ(urls.size(), 215u);
}

TEST(Catalogue, LookupIsPositionalWithEmptyTextOutsideTheRows) {
    EXPECT_EQ(catalogue::channelBaseUrl(kRoot, 0, 0), kRoot + "programys/TV_1/Channel_1/");
    EXPECT_EQ(catalogue::channelBaseUrl(kRoot, 0, 1), kRoot + "programys/TV_1/Channel_3/");
    EXPECT_EQ(catalogue::channelBaseUrl(kRoot, 9, 14), kRoot + "programjw/TV_260/Channel_1115/");
    EXPECT_EQ(catalogue::channelBaseUrl(kRoot, 7, 10), kRoot + "programjw/TV_/Channel_290/");
    EXPECT_EQ(catalogue::channelBaseUrl(kRoot, 1, 2), kRoot + "programys/TV_44/Channel_20/");
    EXPECT_EQ(catalogue::channelBaseUrl(kRoot, 9, 15), "");
    EXPECT_EQ(catalogue::channelBaseUrl(kRoot, 9, -1), "");
    EXPECT_EQ(catalogue::channelBaseUrl(kRoot, 10, 0), "");
    EXPECT_EQ(catalogue::channelBaseUrl(kRoot, -1, 0), "");
}

TEST(Catalogue, NamesKeepTheirTrailingBlanksAndRepeatAcrossGroups) {
    const auto& groups = catalogue::groups();
    EXPECT_EQ(U(groups[0].rows[0].name), "CCTV-1（综合） ");
    EXPECT_EQ(U(groups[4].rows[0].name), "车迷频道 ");
    EXPECT_EQ(U(groups[5].rows[0].name), "全纪实 ");
    EXPECT_EQ(groups[5].rows[29].name, groups[8].rows[6].name);  // 天盛欧洲足球频道
    EXPECT_EQ(groups[5].rows[29].path.substr(9), groups[8].rows[6].path.substr(9));
    EXPECT_NE(groups[5].rows[29].path, groups[8].rows[6].path);
    EXPECT_EQ(U(groups[6].rows[13].name), "广东卫视");
    EXPECT_EQ(groups[6].rows[13].path.substr(10, 6), "TV_39/");
    EXPECT_EQ(groups[6].rows[14].path.substr(10, 6), "TV_39/");
}

}  // namespace

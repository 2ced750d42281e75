// Cost of the schedule parse without its pause, on a realistic day page and on
// pages built to be slow. Figures only; nothing here is asserted.
#include <benchmark/benchmark.h>

#include <string>

#include "../schedule/literal_parse.h"
#include "app/schedule/schedule_parse.h"
#include "app/schedule/tag_stripper.h"
#include "runtime/values/gbk.h"

namespace {

std::string dayRow(int i) {
    char time[16];
    std::snprintf(time, sizeof time, "%02d:%02d", (6 + i / 2) % 24, (i % 2) * 30);
    return "<tr><td><div align='center'><div id='e1' ><b>" + std::string(time) +
           "</b></div><div id='e2' ><a href='p" + std::to_string(i) + ".htm' target='_blank'>" +
           rt::gbk("新闻联播") + std::to_string(i) + "</a>&nbsp;<a href='jq.htm'>" +
           rt::gbk("剧情") + "</a></div></div></td></tr>\r\n";
}

std::string dayPage(int rows) {
    std::string page = "<html><head><title>W1</title></head><body><table>\r\n";
    for (int i = 0; i < rows; ++i) page += dayRow(i);
    return page + "</table></body></html>\r\n";
}

void BM_RealisticDay(benchmark::State& state) {
    const std::string page = dayPage(40);
    for (auto _ : state) benchmark::DoNotOptimize(app::parseSchedule(page));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_RealisticDay);

// The same page through the regular expressions and the tag-by-tag stripper.
void BM_RealisticDayLiteral(benchmark::State& state) {
    const std::string page = dayPage(40);
    for (auto _ : state) benchmark::DoNotOptimize(literal::parseSchedule(page));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_RealisticDayLiteral);

std::string oneRow(const std::string& title) {
    return "<div align='center'><div id='e1' >08:00</div><div id='e2' >" + title + "</div></div>";
}

void BM_TagsInOneTitle(benchmark::State& state) {
    std::string title;
    for (int64_t i = 0; i < state.range(0); ++i) title += "<b>x</b>";
    const std::string page = oneRow(title);
    for (auto _ : state) benchmark::DoNotOptimize(app::parseSchedule(page));
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_TagsInOneTitle)->RangeMultiplier(4)->Range(1 << 10, 100000)->Complexity(benchmark::oN);

// Tags holding a literal "<", with texts that recur inside one another, so the
// stripper takes its general path.
void BM_NestedTagsInOneTitle(benchmark::State& state) {
    std::string title;
    for (int64_t i = 0; i < state.range(0); ++i) title += i % 3 ? "<i<b>x" : "<b>y<<b>b>";
    const std::string page = oneRow(title);
    for (auto _ : state) benchmark::DoNotOptimize(app::parseSchedule(page));
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_NestedTagsInOneTitle)
    ->RangeMultiplier(4)
    ->Range(1 << 10, 100000)
    ->Complexity(benchmark::oN);

// A tag of many literal "<" that is never deleted itself (a lead byte before
// it) while many short tags each cut its end again: every cut changes the
// candidates of all those "<".
void BM_LongRunOfOpenersCutRepeatedly(benchmark::State& state) {
    const auto n = static_cast<size_t>(state.range(0));
    std::string title(1, '\x81');  // appended: GCC 12 warns of "literal" + std::string
    title.append(n, '<').append("x>");
    for (size_t i = 0; i < n; ++i) title += "<x>x>";
    const std::string page = oneRow(title);
    for (auto _ : state) benchmark::DoNotOptimize(app::parseSchedule(page));
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_LongRunOfOpenersCutRepeatedly)
    ->RangeMultiplier(4)
    ->Range(1 << 10, 1 << 16)
    ->Complexity(benchmark::oN);

void BM_PageOfRows(benchmark::State& state) {
    std::string page;
    for (int i = 0; static_cast<int64_t>(page.size()) < state.range(0); ++i) page += dayRow(i);
    for (auto _ : state) benchmark::DoNotOptimize(app::parseSchedule(page));
    state.SetComplexityN(static_cast<int64_t>(page.size()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_PageOfRows)
    ->RangeMultiplier(4)
    ->Range(160 << 10, 10 << 20)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

// A title full of "<" and no ">": no tag anywhere.
void BM_OpenBracketsNoClose(benchmark::State& state) {
    const std::string page = oneRow(std::string(static_cast<size_t>(state.range(0)), '<'));
    for (auto _ : state) benchmark::DoNotOptimize(app::parseSchedule(page));
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_OpenBracketsNoClose)
    ->RangeMultiplier(4)
    ->Range(1 << 12, 4 << 20)
    ->Complexity(benchmark::oN);

// Row openers with no closer: the row expression retries every opener to the
// end of the page; the substring search gives up after one pass.
void BM_RowOpenersNoCloser(benchmark::State& state) {
    std::string page;
    while (static_cast<int64_t>(page.size()) < state.range(0))
        page += "align='center'><div id='e1' >x</div>";
    for (auto _ : state) benchmark::DoNotOptimize(app::parseSchedule(page));
    state.SetComplexityN(static_cast<int64_t>(page.size()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_RowOpenersNoCloser)
    ->RangeMultiplier(4)
    ->Range(1 << 12, 4 << 20)
    ->Complexity(benchmark::oN);

void BM_RowOpenersNoCloserLiteral(benchmark::State& state) {
    std::string page;
    while (static_cast<int64_t>(page.size()) < state.range(0))
        page += "align='center'><div id='e1' >x</div>";
    for (auto _ : state) benchmark::DoNotOptimize(literal::parseSchedule(page));
    state.SetComplexityN(static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_RowOpenersNoCloserLiteral)->RangeMultiplier(4)->Range(1 << 10, 1 << 14)->Complexity();

}  // namespace

BENCHMARK_MAIN();

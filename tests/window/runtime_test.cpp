// The frame over a small hand-built window: loading, properties, dispatch
// through copies, the synchronous events of commands, input suppression and
// the message loop.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>

#include "small_window.h"

using namespace small;
using rt::Colour;
using rt::ControlRef;
using rt::PropertyValue;
namespace ut = rt::unit_type;

namespace {

std::int32_t intOf(const PropertyValue& v) {
    return rt::toInt(v);
}

TEST(Loading, CreatesEveryUnitInOrderThenRaisesCreatedOnce) {
    Harness h;
    std::size_t unitsSeenByCreated = 0;
    h.actions[hCreated] = [&](rt::Runtime& r) { unitsSeenByCreated = r.controls(kWin).size(); };
    EXPECT_FALSE(h.rt().windowLoaded(kWin));
    h.load();
    EXPECT_EQ(h.count(hCreated), 1u);
    EXPECT_EQ(unitsSeenByCreated, 9u);
    EXPECT_EQ(h.calls[0].source, (ControlRef{kWin, kOwn}));
    EXPECT_TRUE(h.calls[0].args.empty());
    EXPECT_EQ(h.backend.createdCount(), 9u);

    const auto all = h.rt().controls(kWin);
    EXPECT_EQ(all.front()->id, kOwn);
    EXPECT_EQ(all.back()->id, kProgram);
    // Children: the frame lists its two, the window's own unit the top-level rest.
    EXPECT_EQ(h.rt().control(Harness::ref(kFrame))->children,
              (std::vector<std::uint32_t>{kChannels, kMenu}));
    EXPECT_EQ(h.rt().control(Harness::ref(kOwn))->children,
              (std::vector<std::uint32_t>{kFrame, kLabel, kSlider, kStatus, kViewer, kProgram}));
    // Stored values reach the models.
    EXPECT_EQ(h.list(kChannels).rows().size(), 3u);
    EXPECT_EQ(h.list(kChannels).currentRow(), -1);
    EXPECT_EQ(h.rt().control(Harness::ref(kViewer))->as<rt::HtmlViewer>()->url,
              "http://127.0.0.1:8610/soft/down/a1.html");

    h.load();  // already loaded: nothing happens twice
    EXPECT_EQ(h.count(hCreated), 1u);
}

TEST(Properties, BeforeLoadingAnswerFromTheTemplate) {
    Harness h;
    const ControlRef slider = Harness::ref(kSlider);
    EXPECT_EQ(intOf(h.rt().readProperty(slider, 0)), 10);
    EXPECT_EQ(intOf(h.rt().readProperty(slider, 1)), 20);
    EXPECT_EQ(intOf(h.rt().readProperty(slider, 2)), 200);
    EXPECT_EQ(intOf(h.rt().readProperty(slider, 3)), 300);
    EXPECT_EQ(h.rt().readProperty(slider, 5), PropertyValue{true});
    EXPECT_EQ(h.rt().readProperty(slider, 6), PropertyValue{true});
    EXPECT_EQ(h.rt().readProperty(Harness::ref(kLabel), 6), PropertyValue{false});
    EXPECT_EQ(h.rt().readProperty(Harness::ref(kChannels), 4), PropertyValue{G("标记")});
    EXPECT_EQ(h.rt().readProperty(Harness::ref(kChannels), 7),
              (PropertyValue{rt::Bytes{0x89, 0x7F, 0, 0}}));

    // A common property written before loading is what the control gets.
    h.rt().writeProperty(slider, 0, std::int32_t{77});
    h.rt().writeProperty(slider, 5, false);
    h.load();
    EXPECT_EQ(h.rt().control(slider)->left, 77);
    EXPECT_FALSE(h.rt().control(slider)->visible);
}

TEST(Properties, AfterLoadingReadAndWriteTheModels) {
    Harness h;
    h.load();
    auto& r = h.rt();
    const ControlRef slider = Harness::ref(kSlider), label = Harness::ref(kLabel);
    r.writeProperty(slider, 19, std::int32_t{9});
    EXPECT_EQ(intOf(r.readProperty(slider, 19)), 7);
    r.writeProperty(slider, 19, std::int32_t{-2});
    EXPECT_EQ(intOf(r.readProperty(slider, 19)), 1);
    EXPECT_EQ(intOf(r.readProperty(slider, 17)), 1);
    EXPECT_EQ(intOf(r.readProperty(slider, 18)), 7);

    EXPECT_EQ(r.readProperty(label, 16), PropertyValue{Colour{0x808000}});
    r.writeProperty(label, 16, std::int32_t{255});  // an int is taken as the colour word
    EXPECT_EQ(r.readProperty(label, 16), PropertyValue{Colour{255}});
    EXPECT_EQ(r.control(label)->as<rt::LabelData>()->textColour, 255u);
    EXPECT_EQ(r.readProperty(label, 8), PropertyValue{G("星期一")});

    EXPECT_EQ(intOf(r.readProperty(Harness::ref(kProgram), 35)), -1);  // empty list
    EXPECT_EQ(intOf(r.readProperty(Harness::ref(kMenu), 14)), -1);     // no groups
    EXPECT_EQ(r.readProperty(Harness::ref(kChannels), 34), PropertyValue{true});

    r.writeProperty(label, 2, std::int32_t{55});
    EXPECT_EQ(intOf(r.readProperty(label, 2)), 55);
    EXPECT_EQ(r.record(label)->width, 200);  // the record keeps the design value
    r.writeProperty(label, 6, std::int32_t{1});
    EXPECT_EQ(r.readProperty(label, 6), PropertyValue{true});
}

TEST(Dispatch, CopiesRaiseIntoTheSourceHandlers) {
    Harness h;
    h.load();
    rt::TypedControlRef copy{{}, ut::kListView};
    ASSERT_TRUE(h.rt().copyControl({Harness::ref(kChannels), ut::kListView}, copy));
    rt::TypedControlRef copyOfCopy{{}, ut::kListView};
    ASSERT_TRUE(h.rt().copyControl(copy, copyOfCopy));
    EXPECT_NE(copy.ref.unit, copyOfCopy.ref.unit);

    h.rt().listSelectRow(copy.ref, 2);
    h.rt().listSelectRow(copyOfCopy.ref, 0);
    ASSERT_EQ(h.count(hRowChanged), 2u);
    EXPECT_EQ(h.calls[1].source, copy.ref);  // the copy is the source, not the original
    EXPECT_TRUE(h.calls[1].args.empty());
    EXPECT_EQ(h.calls[2].source, copyOfCopy.ref);
    EXPECT_EQ(h.list(kChannels).currentRow(), -1);  // the original is untouched
    EXPECT_FALSE(h.rt().currentEventSource().has_value());

    // Unbound events are not handled.
    EXPECT_FALSE(h.rt().raiseEvent(Harness::ref(kProgram), 0).handled);
    EXPECT_FALSE(h.rt().raiseEvent(copy.ref, 7).handled);
}

TEST(CopyControl, NewUnitAfterItsSourceWithTheTemplateState) {
    Harness h;
    h.load();
    auto& r = h.rt();
    r.listInsertRow(Harness::ref(kChannels), {.text = "later"});  // not part of the template
    rt::TypedControlRef copy{{}, ut::kListView};
    ASSERT_TRUE(r.copyControl({Harness::ref(kChannels), ut::kListView}, copy));
    EXPECT_EQ(copy.ref.window, kWin);

    const rt::UnitRecord* rec = r.record(copy.ref);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->link, kChannels);
    EXPECT_TRUE(rec->events.empty());
    EXPECT_TRUE(rec->children.empty());
    EXPECT_EQ(rec->cursor, rt::kCursorHand);
    const rt::Control* c = r.control(copy.ref);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->type, ut::kListView);
    EXPECT_EQ(c->as<rt::ListView>()->rows().size(), 3u);  // preset rows only
    EXPECT_EQ(r.control(Harness::ref(kFrame))->children,
              (std::vector<std::uint32_t>{kChannels, copy.ref.unit, kMenu}));
}

TEST(CopyControl, RefusesWhatCannotBeCopied) {
    Harness h;
    rt::TypedControlRef dest{{1, 2}, ut::kListView};
    // The window is not loaded yet.
    EXPECT_FALSE(h.rt().copyControl({Harness::ref(kChannels), ut::kListView}, dest));
    h.load();
    auto& r = h.rt();
    EXPECT_FALSE(r.copyControl({Harness::ref(kChannels), ut::kLabel}, dest));  // types differ
    rt::TypedControlRef labelVar{{1, 2}, ut::kLabel};
    EXPECT_FALSE(
        r.copyControl({Harness::ref(kChannels), ut::kLabel}, labelVar));  // declared type lies
    rt::TypedControlRef windowVar{{1, 2}, ut::kWindow};
    EXPECT_FALSE(r.copyControl({Harness::ref(kOwn), ut::kWindow}, windowVar));
    EXPECT_FALSE(r.copyControl({Harness::ref(0x16FFFFFF), ut::kListView}, dest));
    EXPECT_FALSE(r.copyControl({ControlRef{0x1234, kChannels}, ut::kListView}, dest));
    EXPECT_EQ(dest.ref, (ControlRef{1, 2}));  // unchanged on failure
    EXPECT_EQ(r.controls(kWin).size(), 9u);
}

TEST(ListCommands, SelectRowRaisesEventZeroOnlyWhenTheFocusMoves) {
    Harness h;
    h.load();
    auto& r = h.rt();
    const ControlRef list = Harness::ref(kChannels);
    std::int32_t rowSeen = -5;
    h.actions[hRowChanged] = [&](rt::Runtime& rr) {
        rowSeen = rt::toInt(rr.readProperty(list, 35));
    };
    r.listSelectRow(list, 0);
    EXPECT_EQ(h.count(hRowChanged), 1u);
    EXPECT_EQ(rowSeen, 0);  // synchronous: the handler already sees the row
    r.listSelectRow(list, 0);
    r.listSelectRow(list, -1);
    r.listSelectRow(list, 3);  // no such row
    EXPECT_EQ(h.count(hRowChanged), 1u);
    r.listSelectRow(list, 2);
    EXPECT_EQ(h.count(hRowChanged), 2u);
    EXPECT_EQ(intOf(r.readProperty(list, 35)), 2);

    // Without select-with-focus a selection raises nothing.
    r.writeProperty(list, 34, false);
    r.listSelectRow(list, 1);
    EXPECT_EQ(h.count(hRowChanged), 2u);
    EXPECT_EQ(intOf(r.readProperty(list, 35)), 1);
}

TEST(ListCommands, InsertCellsTitlesAndDeleteAll) {
    Harness h;
    h.load();
    auto& r = h.rt();
    const ControlRef prog = Harness::ref(kProgram);
    for (int i = 0; i < 5; ++i) r.listInsertRow(prog, {.text = " 0" + std::to_string(i) + ":00"});
    EXPECT_EQ(r.listInsertRow(prog), 5);
    const std::string title(600, 'T');
    EXPECT_TRUE(r.listSetCellText(prog, 5, 1, title));
    EXPECT_EQ(r.listCellText(prog, 5, 1), title);
    EXPECT_TRUE(r.listSetCellText(prog, 2, std::nullopt, G("新闻")));  // column omitted: 0
    EXPECT_EQ(r.listCellText(prog, 2), G("新闻"));
    EXPECT_TRUE(r.listSetCellText(prog, 2, 1, std::nullopt));  // text omitted: empty
    EXPECT_EQ(r.listCellText(prog, 2, 1), "");
    EXPECT_FALSE(r.listSetCellText(prog, 9, 0, "x"));
    r.listSetColumnTitle(prog, 1, G("CCTV-1（综合）  节目预告"));
    EXPECT_EQ(r.control(prog)->as<rt::ListView>()->columns()[1].title,
              G("CCTV-1（综合）  节目预告"));
    r.listSetColumnTitle(prog, 0, std::nullopt);
    EXPECT_EQ(r.control(prog)->as<rt::ListView>()->columns()[0].title, "");
    r.listDeleteAllRows(prog);
    EXPECT_EQ(r.listInsertRow(prog), 0);

    // Commands on a unit of another type or one that does not exist are safe.
    EXPECT_EQ(r.listInsertRow(Harness::ref(kLabel)), -1);
    EXPECT_EQ(r.listCellText(Harness::ref(0x16FFFFFF), 0), "");
    r.listSelectRow(Harness::ref(0x16FFFFFF), 0);
    r.statusSetPartText(Harness::ref(kLabel), 0, "x");
}

TEST(StatusBarCommand, SetPartText) {
    Harness h;
    h.load();
    const ControlRef bar = Harness::ref(kStatus);
    h.rt().statusSetPartText(bar, 1, G("2008年10月6日 星期一"));
    h.rt().statusSetPartText(bar, 4, "ignored");
    h.rt().statusSetPartText(bar, 0, std::nullopt);
    const auto& parts = h.rt().control(bar)->as<rt::StatusBar>()->parts;
    ASSERT_EQ(parts.size(), 4u);
    EXPECT_EQ(parts[0].text, "");
    EXPECT_EQ(parts[1].text, G("2008年10月6日 星期一"));
    EXPECT_EQ(parts[2].text, G("版本"));
}

TEST(OutlookBarCommands, ThreeAddsOpenGroupZeroThreeTimes) {
    Harness h;
    h.load();
    auto& r = h.rt();
    const ControlRef menu = Harness::ref(kMenu);
    std::vector<rt::TypedControlRef> lists;
    for (int i = 0; i < 2; ++i) {
        rt::TypedControlRef v{{}, ut::kListView};
        ASSERT_TRUE(r.copyControl({Harness::ref(kChannels), ut::kListView}, v));
        lists.push_back(v);
    }
    EXPECT_TRUE(r.outlookAddGroup(menu, G("央视频道"), Harness::ref(kChannels)));
    EXPECT_TRUE(r.outlookAddGroup(menu, G("中数传媒"), lists[0].ref));
    EXPECT_TRUE(r.outlookAddGroup(menu, G("央视风云"), lists[1].ref));
    ASSERT_EQ(h.count(hGroupOpened), 3u);
    for (const auto& c : h.calls) {
        if (c.handler == hGroupOpened) {
            EXPECT_EQ(c.args, (std::vector<std::int32_t>{0}));
        }
    }
    EXPECT_EQ(intOf(r.readProperty(menu, 14)), 0);
    EXPECT_TRUE(r.control(Harness::ref(kChannels))->visible);
    EXPECT_FALSE(r.control(lists[0].ref)->visible);
    EXPECT_FALSE(r.control(lists[1].ref)->visible);
    EXPECT_EQ(r.control(Harness::ref(kChannels))->parent, kMenu);
    EXPECT_EQ(r.outlookGroupTitle(menu, 2), G("央视风云"));
    EXPECT_EQ(r.outlookGroupTitle(menu, 3), "");

    // Inserting before the current group keeps the same group open.
    rt::TypedControlRef front{{}, ut::kListView};
    ASSERT_TRUE(r.copyControl({Harness::ref(kChannels), ut::kListView}, front));
    EXPECT_TRUE(r.outlookAddGroup(menu, "front", front.ref, 0));
    EXPECT_EQ(intOf(r.readProperty(menu, 14)), 1);
    EXPECT_EQ(h.calls.back().args, (std::vector<std::int32_t>{1}));
    EXPECT_TRUE(r.control(Harness::ref(kChannels))->visible);
    EXPECT_FALSE(r.control(front.ref)->visible);
}

TEST(OutlookBarCommands, AddGroupFailures) {
    Harness h;
    h.load();
    auto& r = h.rt();
    const ControlRef menu = Harness::ref(kMenu);
    EXPECT_FALSE(r.outlookAddGroup(menu, "p", Harness::ref(kFrame)));  // the bar's parent
    EXPECT_FALSE(r.outlookAddGroup(menu, "s", menu));
    EXPECT_FALSE(r.outlookAddGroup(menu, "m", Harness::ref(0x16FFFFFF)));  // no such control
    EXPECT_TRUE(r.outlookAddGroup(menu, "a", Harness::ref(kProgram)));
    EXPECT_FALSE(
        r.outlookAddGroup(menu, "b", Harness::ref(kProgram)));  // already a group's content
    EXPECT_EQ(r.control(menu)->as<rt::OutlookBar>()->groups().size(), 1u);
    EXPECT_EQ(h.count(hGroupOpened), 1u);
}

TEST(OutlookBarInput, HeaderClickOpensTheGroupEvenWhenCurrent) {
    Harness h;
    h.load();
    auto& r = h.rt();
    const ControlRef menu = Harness::ref(kMenu);
    r.outlookAddGroup(menu, "a", Harness::ref(kChannels));
    r.outlookAddGroup(menu, "b", Harness::ref(kProgram));
    h.calls.clear();
    h.backend.postHeaderClick(menu, 1);
    h.backend.postHeaderClick(menu, 1);
    h.backend.postHeaderClick(menu, 0);
    r.processPendingMessages();
    std::vector<std::int32_t> opened;
    for (const auto& c : h.calls)
        if (c.handler == hGroupOpened) opened.push_back(c.args.at(0));
    EXPECT_EQ(opened, (std::vector<std::int32_t>{1, 1, 0}));
    EXPECT_TRUE(r.control(Harness::ref(kChannels))->visible);
    EXPECT_FALSE(r.control(Harness::ref(kProgram))->visible);
    // The open content fills the space below its header.
    const rt::Control* shown = r.control(Harness::ref(kChannels));
    const auto& bar = *r.control(menu);
    const std::int32_t hh = bar.as<rt::OutlookBar>()->design.headerHeight;
    EXPECT_EQ(shown->top, hh);
    EXPECT_EQ(shown->height, bar.height - 2 * hh);
}

TEST(ListInput, ClicksAndKeysMoveTheFocusAndRaiseEventZeroOnce) {
    Harness h;
    h.load();
    const ControlRef list = Harness::ref(kChannels);
    h.backend.postRowClick(list, 1);
    h.backend.postRowClick(list, 1);  // the focused row again: nothing new
    h.backend.postKey(list, rt::HeadlessBackend::kKeyDown);
    h.backend.postKey(list, rt::HeadlessBackend::kKeyDown);  // already last
    h.backend.postKey(list, rt::HeadlessBackend::kKeyUp);
    h.rt().processPendingMessages();
    EXPECT_EQ(h.count(hRowChanged), 3u);
    EXPECT_EQ(h.count(hListPress), 2u);
    EXPECT_EQ(h.count(hListKey), 3u);
    EXPECT_EQ(h.list(kChannels).currentRow(), 1);
    EXPECT_EQ(h.rt().focus(), list);  // a click gives the list the keyboard focus
    // The press handler got the client coordinates of row 1 and no key state.
    const auto [x, y] = rt::Runtime::rowPoint(*h.rt().control(list), 1);
    EXPECT_EQ(h.calls[1].args, (std::vector<std::int32_t>{x, y, 0}));
}

TEST(ListInput, PageKeysHomeAndEndMoveTheFocusAsArrowsDo) {
    Harness h;
    h.load();
    const ControlRef list = Harness::ref(kChannels);
    for (int i = 0; i < 37; ++i) h.rt().listInsertRow(list, {});  // 40 rows
    // 300 pixels of list below a 24-pixel header show 15 rows: a page is 14.
    using B = rt::HeadlessBackend;
    struct Step {
        std::int32_t key;
        std::int32_t row;
        bool raised;
    };
    const Step steps[] = {
        {B::kKeyPageDown, 0, true},  // from no focus: the first row
        {B::kKeyPageDown, 14, true},  {B::kKeyPageDown, 28, true}, {B::kKeyPageDown, 39, true},
        {B::kKeyPageDown, 39, false}, {B::kKeyPageUp, 25, true},   {B::kKeyHome, 0, true},
        {B::kKeyHome, 0, false},      {B::kKeyPageUp, 0, false},   {B::kKeyEnd, 39, true},
        {B::kKeyEnd, 39, false},      {B::kKeyUp, 38, true},
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        const std::size_t before = h.count(hRowChanged);
        h.backend.postKey(list, steps[i].key);
        h.rt().processPendingMessages();
        EXPECT_EQ(h.list(kChannels).focusedRow(), steps[i].row) << "step " << i;
        EXPECT_EQ(h.list(kChannels).currentRow(), steps[i].row) << "step " << i;
        EXPECT_EQ(h.count(hRowChanged) - before, steps[i].raised ? 1u : 0u) << "step " << i;
    }
    EXPECT_EQ(h.count(hListKey), std::size(steps));
    // An empty list has nowhere to go.
    h.rt().listDeleteAllRows(list);
    h.backend.postKey(list, B::kKeyEnd);
    h.rt().processPendingMessages();
    EXPECT_EQ(h.list(kChannels).focusedRow(), -1);
}

TEST(ListCommands, TheMarkedRowIsADisplayMarkOnly) {
    Harness h;
    h.load();
    const ControlRef prog = Harness::ref(kProgram);
    for (const char* t : {"a", "b", "c"}) h.rt().listInsertRow(prog, {.text = t});
    const std::size_t events = h.calls.size();
    h.rt().listSetMarkedRow(prog, 1);
    h.rt().listShowRow(prog, 1);
    EXPECT_EQ(h.list(kProgram).markedRow(), 1);
    EXPECT_EQ(h.list(kProgram).shownRow(), 1);
    EXPECT_EQ(h.list(kProgram).currentRow(), -1);
    EXPECT_EQ(h.calls.size(), events);
    h.rt().listInsertRow(prog, {.position = 0, .text = "z"});  // the mark stays on "b"
    EXPECT_EQ(h.list(kProgram).markedRow(), 2);
    h.rt().listSetMarkedRow(prog, 9);  // no such row: no mark
    EXPECT_EQ(h.list(kProgram).markedRow(), -1);
    h.rt().listSetMarkedRow(prog, 0);
    h.rt().listDeleteAllRows(prog);
    EXPECT_EQ(h.list(kProgram).markedRow(), -1);
    EXPECT_EQ(h.list(kProgram).shownRow(), -1);
    std::vector<rt::Change> seen;
    for (const auto& c : h.backend.changes())
        if (c.ref == prog && (c.what == rt::Change::Marks || c.what == rt::Change::Scroll))
            seen.push_back(c.what);
    EXPECT_EQ(seen, (std::vector<rt::Change>{rt::Change::Marks, rt::Change::Scroll,
                                             rt::Change::Marks, rt::Change::Marks}));
}

TEST(ListInput, ARowFarBeyondTheListIsBelowTheRowsNotAWrappedRow) {
    Harness h;
    h.load();
    const ControlRef list = Harness::ref(kChannels);
    h.rt().userClickRow(list, 1);
    // 18 * 238609295 passes 2^32 and would wrap to a point on row 1.
    for (std::int32_t far : {238609295, INT32_MAX}) {
        h.rt().userClickRow(list, 1);
        h.rt().userClickRow(list, far);
        EXPECT_EQ(h.list(kChannels).currentRow(), -1) << far;  // a click below the rows
        EXPECT_EQ(h.list(kChannels).focusedRow(), 1) << far;
    }
    // Row 1 first, then once more when its selection comes back after the
    // first far click; never a wrapped row.
    EXPECT_EQ(h.count(hRowChanged), 2u);
}

TEST(ListInput, HandlerReturningFalseSuppressesTheFocusChange) {
    Harness h;
    h.load();
    const ControlRef list = Harness::ref(kChannels);
    h.returns[hListPress] = 0;
    h.returns[hListKey] = 0;
    h.backend.postRowClick(list, 2);
    h.backend.postKey(list, rt::HeadlessBackend::kKeyDown);
    h.rt().processPendingMessages();
    EXPECT_EQ(h.count(hListPress), 1u);
    EXPECT_EQ(h.count(hRowChanged), 0u);
    EXPECT_EQ(h.list(kChannels).currentRow(), -1);
    EXPECT_EQ(h.list(kChannels).focusedRow(), -1);

    h.returns[hListPress] = 1;  // true lets the list process the click
    h.backend.postRowClick(list, 2);
    h.rt().processPendingMessages();
    EXPECT_EQ(h.list(kChannels).currentRow(), 2);
    EXPECT_EQ(h.count(hRowChanged), 1u);
}

TEST(ListInput, EnterAndDoubleClickActivateTheFocusedRow) {
    rt::WindowTemplate t = smallTemplate();
    t.windows[0].units[2].events.push_back({1, hLabelPress});  // activation of the channel list
    t.windows[0].units[2].events.push_back({-3, hGroupOpened});
    Harness h(t);
    h.load();
    const ControlRef list = Harness::ref(kChannels);
    h.rt().userKey(list, 0x0D);  // no focused row yet: nothing to activate
    EXPECT_EQ(h.count(hLabelPress), 0u);
    h.rt().userClickRow(list, 1);
    h.rt().userKey(list, 0x0D);
    ASSERT_EQ(h.count(hLabelPress), 1u);
    EXPECT_TRUE(h.calls.back().args.empty());
    EXPECT_EQ(h.calls.back().source, list);

    const auto [x, y] = rt::Runtime::rowPoint(*h.rt().control(list), 2);
    h.rt().userDoubleClick(list, x, y);
    EXPECT_EQ(h.count(hGroupOpened), 1u);  // the common event -3 first
    EXPECT_EQ(h.count(hLabelPress), 2u);
    EXPECT_EQ(h.list(kChannels).focusedRow(), 2);
    h.rt().userDoubleClick(list, x, y + 40 * rt::ListView::kRowHeight);  // below the rows
    EXPECT_EQ(h.count(hLabelPress), 2u);

    h.returns[hGroupOpened] = 0;  // -3 answered false: the list does nothing
    h.rt().userDoubleClick(list, x, y);
    EXPECT_EQ(h.count(hLabelPress), 2u);
}

TEST(LabelInput, PressRaisesMinusOneAndHandlerWithoutValueKeepsProcessing) {
    Harness h;
    h.load();
    const ControlRef label = Harness::ref(kLabel);
    h.backend.postMousePress(label, 5, 6, rt::key_state::kShift);
    h.rt().processPendingMessages();
    ASSERT_EQ(h.count(hLabelPress), 1u);
    EXPECT_EQ(h.calls.back().args, (std::vector<std::int32_t>{5, 6, 2}));
    EXPECT_EQ(h.calls.back().source, label);
    EXPECT_EQ(h.rt().control(label)->ownInputProcessed, 1);

    h.returns[hLabelPress] = 0;
    h.backend.postMousePress(label, 5, 6);
    h.rt().processPendingMessages();
    EXPECT_EQ(h.count(hLabelPress), 2u);
    EXPECT_EQ(h.rt().control(label)->ownInputProcessed, 1);
}

TEST(CharacterInput, NonZeroReturnReplacesTheCharacter) {
    rt::WindowTemplate t = smallTemplate();
    t.windows[0].units[4].events.push_back({-11, hLabelPress});
    Harness h(t);
    h.load();
    const ControlRef label = Harness::ref(kLabel);
    EXPECT_EQ(h.rt().userCharacter(label, 'a'), 'a');  // nothing returned
    h.returns[hLabelPress] = 'B';
    EXPECT_EQ(h.rt().userCharacter(label, 'a'), 'B');
    h.returns[hLabelPress] = 0;
    EXPECT_EQ(h.rt().userCharacter(label, 'a'), 0);
}

TEST(Focus, SetFocusRaisesLostAndGained) {
    rt::WindowTemplate t = smallTemplate();
    t.windows[0].units[4].events.push_back({-7, hLabelPress});
    t.windows[0].units[4].events.push_back({-8, hLabelPress});
    Harness h(t);
    h.load();
    h.rt().setFocus(Harness::ref(kLabel));
    h.rt().setFocus(Harness::ref(kLabel));  // no change, no events
    h.rt().setFocus(Harness::ref(kProgram));
    ASSERT_EQ(h.count(hLabelPress), 2u);
    EXPECT_EQ(h.rt().focus(), Harness::ref(kProgram));
}

TEST(MessageLoop, ClosingEndsTheLoopAndRunsTheExitRoutineOnce) {
    Harness h;
    int exits = 0;
    h.rt().setExitRoutine([&] { ++exits; });
    h.load();
    h.backend.postRowClick(Harness::ref(kChannels), 0);
    h.backend.postClose(kWin);
    h.backend.postRowClick(Harness::ref(kChannels), 1);  // after the close: dropped
    EXPECT_EQ(h.rt().runMessageLoop(), std::optional<int>(0));
    EXPECT_EQ(exits, 1);
    EXPECT_EQ(h.count(hRowChanged), 1u);
    EXPECT_FALSE(h.rt().windowLoaded(kWin));
    EXPECT_EQ(h.rt().control(Harness::ref(kChannels)), nullptr);
    EXPECT_EQ(h.rt().runMessageLoop(), std::optional<int>(0));  // nothing loaded: returns at once
    EXPECT_EQ(exits, 1);
}

TEST(MessageLoop, RunsDryWithoutEndingWhenNothingIsQueued) {
    Harness h;
    int exits = 0;
    h.rt().setExitRoutine([&] { ++exits; });
    h.load();
    EXPECT_EQ(h.rt().runMessageLoop(), std::nullopt);
    EXPECT_EQ(exits, 0);
    EXPECT_TRUE(h.rt().windowLoaded(kWin));
}

TEST(MessageLoop, ProcessPendingMessagesLeavesTheQuitMessageQueued) {
    Harness h;
    int exits = 0;
    h.rt().setExitRoutine([&] { ++exits; });
    h.load();
    // Inside the loop a handler closes the window and pumps: the quit message
    // is queued, and a click arriving behind it is not dispatched by the pump.
    h.backend.post([&](rt::Runtime& r) {
        h.backend.postClose(kWin);
        r.processPendingMessages();
        EXPECT_TRUE(h.backend.quitQueued());
        h.backend.postRowClick(Harness::ref(kChannels), 0);
        r.processPendingMessages();
        EXPECT_EQ(h.backend.queuedCount(), 2u);  // the quit and the click behind it
        EXPECT_EQ(exits, 0);
    });
    EXPECT_EQ(h.rt().runMessageLoop(), std::optional<int>(0));
    EXPECT_EQ(exits, 1);
    EXPECT_EQ(h.count(hRowChanged), 0u);
}

TEST(HeadlessClock, WaitingAdvancesTheFakeClockToScheduledInput) {
    Harness h;
    h.load();
    using namespace std::chrono_literals;
    auto& b = h.backend;
    const auto t0 = b.now();
    b.postMousePress(Harness::ref(kLabel), 1, 1, 0, t0 + 100ms);
    EXPECT_EQ(b.queuedCount(), 0u);  // not due yet
    h.rt().processPendingMessages();
    EXPECT_EQ(h.count(hLabelPress), 0u);

    // A 500 ms pause as the guide's delay runs it: wake on input, pump, wait on.
    const auto deadline = t0 + 500ms;
    int wakes = 0;
    while (b.waitForMessage(deadline)) {
        ++wakes;
        h.rt().processPendingMessages();
    }
    EXPECT_EQ(wakes, 1);
    EXPECT_EQ(h.count(hLabelPress), 1u);
    EXPECT_EQ(b.now(), deadline);
    EXPECT_FALSE(b.waitForMessage(t0));  // a past deadline returns at once
    EXPECT_EQ(b.now(), deadline);        // and the clock does not run back
}

TEST(HeadlessClock, APauseBehindTheQuitMessageLastsUntilItsDeadline) {
    // Once the quit message is queued no pump takes it or anything behind it,
    // so a pause must not keep waking for it: it sleeps to its deadline.
    Harness h;
    h.load();
    using namespace std::chrono_literals;
    auto& b = h.backend;
    const auto t0 = b.now();
    b.postQuit(0);
    b.postMousePress(Harness::ref(kLabel), 1, 1, 0, t0 + 100ms);
    int wakes = 0;
    while (b.waitForMessage(t0 + 500ms) && wakes < 10) {
        ++wakes;
        h.rt().processPendingMessages();
    }
    EXPECT_EQ(wakes, 0);
    EXPECT_EQ(b.now(), t0 + 500ms);
    EXPECT_EQ(h.count(hLabelPress), 0u);
    EXPECT_TRUE(b.quitQueued());
}

TEST(HeadlessClock, AWaitWithoutDeadlineOnAnEmptyQueueReturnsAtOnce) {
    // Nobody can queue input into an idle headless backend, so such a wait
    // could never end; the clock must not jump to the end of time either.
    using namespace std::chrono_literals;
    for (bool fake : {true, false}) {
        rt::HeadlessBackend b{rt::HeadlessBackend::Options{fake, {}, false}};
        const auto t0 = b.now();
        EXPECT_FALSE(b.waitForMessage(rt::Backend::Clock::time_point::max())) << fake;
        EXPECT_LT(b.now(), t0 + 1h) << fake;
        b.post([](rt::Runtime&) {}, b.now() + 20ms);  // something scheduled: the wait ends there
        EXPECT_TRUE(b.waitForMessage(rt::Backend::Clock::time_point::max())) << fake;
    }
}

TEST(HeadlessClock, TimersRunWhenDueButKeepNoLoopOrEndlessWaitGoing) {
    using namespace std::chrono_literals;
    Harness h;
    h.load();
    auto& b = h.backend;
    const auto t0 = b.now();
    std::vector<int> ticks;
    h.rt().startTimer(60s, [&](rt::Runtime&) { ticks.push_back(60); });
    h.rt().startTimer(10s, [&](rt::Runtime&) { ticks.push_back(10); });
    EXPECT_FALSE(h.rt().runMessageLoop().has_value());  // ran dry: timers alone do not count
    EXPECT_EQ(b.now(), t0);
    EXPECT_FALSE(b.waitForMessage(rt::Backend::Clock::time_point::max()));
    EXPECT_TRUE(ticks.empty());
    // A pause dispatches the timers falling inside it, in time order.
    const auto deadline = t0 + 30s;
    while (b.waitForMessage(deadline)) h.rt().processPendingMessages();
    EXPECT_EQ(ticks, (std::vector<int>{10}));
    // A loop with input behind a timer runs the timer on the way.
    b.postMousePress(Harness::ref(kLabel), 1, 1, 0, t0 + 90s);
    EXPECT_FALSE(h.rt().runMessageLoop().has_value());
    EXPECT_EQ(ticks, (std::vector<int>{10, 60}));
    EXPECT_EQ(h.count(hLabelPress), 1u);
}

TEST(BackendSync, ProgramChangesAreReportedToTheBackend) {
    Harness h;
    h.load();
    const ControlRef prog = Harness::ref(kProgram);
    h.rt().listInsertRow(prog, {.text = "x"});
    h.rt().writeProperty(Harness::ref(kSlider), 19, std::int32_t{3});
    const auto& log = h.backend.changes();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2].ref, prog);
    EXPECT_EQ(log[log.size() - 2].what, rt::Change::Rows);
    EXPECT_EQ(log.back().what, rt::Change::Slider);
}

}  // namespace

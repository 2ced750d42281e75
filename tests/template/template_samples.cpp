#include "tests/template/template_samples.h"

#include "runtime/values/gbk.h"
#include "runtime/window/template/type_data.h"

namespace test {

rt::WindowTemplate smallTemplate() {
    rt::UnitRecord window;
    window.id = kOwnUnit;
    window.type = rt::unit_type::kWindow;
    window.width = 300, window.height = 200;
    window.flags = rt::unit_flag::kVisible;
    window.events = {{0, 0}};
    rt::WindowData wd;
    wd.title = "T";
    window.typeData = rt::encode(wd);

    rt::UnitRecord box;
    box.id = 0x16000001;
    box.type = rt::unit_type::kGroupBox;
    box.left = 1, box.top = 2, box.width = 100, box.height = 50;
    box.children = {0x16000002};

    rt::UnitRecord label;
    label.id = 0x16000002;
    label.type = rt::unit_type::kLabel;
    label.parent = box.id;
    label.cursor = rt::kCursorHand;
    label.events = {{-1, 1}};
    rt::LabelData ld;
    ld.caption = "x";
    label.typeData = rt::encode(ld);

    rt::WindowTemplate t;
    t.windows.push_back({kWindow, {0, 0}, {"", ""}, {window, box, label}});
    return t;
}

rt::WindowTemplate busyTemplate() {
    rt::WindowTemplate t = smallTemplate();
    rt::WindowEntry& main = t.windows[0];
    main.reservedWords = {7, 0xFFFFFFFF};
    main.reservedTexts = {rt::gbk("窗口"), "second"};
    rt::UnitRecord& label = main.units[2];
    label.name = rt::gbk("标签1");
    label.comment = "a comment";
    label.tag = "tag";
    label.link = 0x16000001;
    label.flags = rt::unit_flag::kVisible | rt::unit_flag::kDisabled | rt::unit_flag::kTabStop;
    label.tabOrder = 3;
    label.left = -2, label.top = -3;
    label.events = {{-12, 4}, {-1, rt::kNoHandler}, {0, 0}};

    rt::UnitRecord menu;
    menu.id = 0x16000003;
    menu.type = rt::unit_type::kMenuItem;
    menu.name = rt::gbk("菜单");
    menu.menu = rt::MenuItemFields{{1, 2, 3}, rt::gbk("打开")};
    menu.events = {{0, 5}};
    main.units.push_back(menu);

    rt::UnitRecord other;  // a unit type the runtime does not know keeps its bytes as they are
    other.id = 0x16000004;
    other.type = 0x70001;
    other.typeData = {1, 2, 3, 0, 255};
    main.units.push_back(other);

    rt::WindowEntry second;
    second.id = 0x52010002;
    rt::UnitRecord w2 = main.units[0];
    w2.typeData.clear();
    second.units = {w2};
    t.windows.push_back(second);
    return t;
}

std::uint32_t readU32(const rt::Bytes& b, std::size_t at) {
    return b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 | std::uint32_t{b.at(at + 3)} << 24;
}

void writeU32(rt::Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
}

std::size_t recordBody(const rt::Bytes& block, std::size_t index) {
    const std::size_t units = readU32(block, 28);
    const std::size_t area = 36 + 8 * units;
    return area + readU32(block, 36 + 4 * units + 4 * index) + 4;
}

}  // namespace test

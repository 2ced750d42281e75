#include "runtime/window/template/type_data.h"

#include <algorithm>
#include <array>

#include "runtime/window/template/byte_reader.h"
#include "runtime/window/template/window_template.h"

namespace rt {
namespace {

using tpl::ByteReader;
using tpl::ByteWriter;

constexpr std::size_t kFontRecordSize = 60;
constexpr std::size_t kFaceNameSize = 32;

bool readFont(ByteReader& r, FontRecord& f) {
    std::uint8_t* bytes[] = {&f.italic,       &f.underline,     &f.strikeOut, &f.charset,
                             &f.outPrecision, &f.clipPrecision, &f.quality,   &f.pitchAndFamily};
    r.i32(f.height), r.i32(f.width), r.i32(f.escapement), r.i32(f.orientation), r.i32(f.weight);
    for (std::uint8_t* b : bytes) r.u8(*b);
    std::span<const std::uint8_t> face;
    if (!r.bytes(kFaceNameSize, face, "font face name")) return false;
    auto nul = std::find(face.begin(), face.end(), 0);
    if (nul == face.end()) return r.fail("font face name is not NUL-terminated");
    f.faceName.assign(face.begin(), nul);
    return r.ok();
}

void writeFont(ByteWriter& w, const FontRecord& f) {
    for (std::int32_t v : {f.height, f.width, f.escapement, f.orientation, f.weight}) w.i32(v);
    for (std::uint8_t v : {f.italic, f.underline, f.strikeOut, f.charset, f.outPrecision,
                           f.clipPrecision, f.quality, f.pitchAndFamily}) {
        w.u8(v);
    }
    std::string_view face = tpl::storedText(f.faceName).substr(0, kFaceNameSize - 1);
    w.raw({reinterpret_cast<const std::uint8_t*>(face.data()), face.size()});
    w.zeros(kFaceNameSize - face.size());
}

// A counted block holding nothing (the default font) or one font record.
bool readOptionalFont(ByteReader& r, std::optional<FontRecord>& font) {
    std::span<const std::uint8_t> block;
    if (!r.countedBlock(block, "font block")) return false;
    if (block.empty()) {
        font.reset();
        return true;
    }
    if (block.size() != kFontRecordSize) return r.fail("font block is not 0 or 60 bytes");
    ByteReader fr(block, r.offset() - block.size());
    FontRecord f;
    if (!readFont(fr, f)) return r.fail(fr.error());
    font = std::move(f);
    return true;
}

void writeOptionalFont(ByteWriter& w, const std::optional<FontRecord>& font) {
    if (!font) {
        w.u32(0);
        return;
    }
    Bytes rec;
    ByteWriter fw(rec);
    writeFont(fw, *font);
    w.countedBlock(rec);
}

bool version(ByteReader& r, std::uint32_t expected) {
    std::uint32_t v = 0;
    if (!r.u32(v)) return false;
    return v == expected || r.fail("unknown type data version " + std::to_string(v));
}

// Runs `parse` over a non-empty block and requires it to use every byte; an
// empty block gives the defaults.
template <typename T, typename Parse>
std::optional<T> decodeWith(ByteView block, Parse parse) {
    T value{};
    if (block.empty()) return value;
    ByteReader r(block);
    parse(r, value);
    if (!r.expectEnd("type data")) return std::nullopt;
    return value;
}

}  // namespace

std::optional<WindowData> decodeWindowData(ByteView block) {
    return decodeWith<WindowData>(block, [](ByteReader& r, WindowData& d) {
        r.u32(d.borderStyle), r.u32(d.buttons);
        r.countedBytes(d.icon, "icon"), r.countedText(d.title, "title");
    });
}

Bytes encode(const WindowData& d) {
    Bytes out;
    ByteWriter w(out);
    w.u32(d.borderStyle), w.u32(d.buttons), w.countedBlock(d.icon), w.countedText(d.title);
    return out;
}

std::optional<GroupBoxData> decodeGroupBoxData(ByteView block) {
    return decodeWith<GroupBoxData>(block, [](ByteReader& r, GroupBoxData& d) {
        version(r, 1);
        r.countedText(d.caption, "caption");
        r.u32(d.alignment), r.u32(d.textColour), r.u32(d.backgroundColour);
        readOptionalFont(r, d.font);
    });
}

Bytes encode(const GroupBoxData& d) {
    Bytes out;
    ByteWriter w(out);
    w.u32(1), w.countedText(d.caption);
    w.u32(d.alignment), w.u32(d.textColour), w.u32(d.backgroundColour);
    writeOptionalFont(w, d.font);
    return out;
}

std::optional<LabelData> decodeLabelData(ByteView block) {
    return decodeWith<LabelData>(block, [](ByteReader& r, LabelData& d) {
        version(r, 2);
        r.i32(d.effect), r.i32(d.borderWidth), r.i32(d.border);
        for (std::uint32_t& c : d.borderColours) r.u32(c);
        r.u32(d.textColour), r.u32(d.backgroundColour), r.u32(d.options);
        r.countedText(d.caption, "caption");
        r.i32(d.horizontalAlign), r.i32(d.verticalAlign);
    });
}

Bytes encode(const LabelData& d) {
    Bytes out;
    ByteWriter w(out);
    w.u32(2), w.i32(d.effect), w.i32(d.borderWidth), w.i32(d.border);
    for (std::uint32_t c : d.borderColours) w.u32(c);
    w.u32(d.textColour), w.u32(d.backgroundColour), w.u32(d.options);
    w.countedText(d.caption);
    w.i32(d.horizontalAlign), w.i32(d.verticalAlign);
    return out;
}

namespace {
template <typename D>
auto sliderFields(D& d) {  // properties 8..19 in index order
    return std::array{&d.border,       &d.orientation, &d.tickStyle,     &d.tickFrequency,
                      &d.pageSize,     &d.lineSize,    &d.showSelection, &d.selectionStart,
                      &d.selectionEnd, &d.minimum,     &d.maximum,       &d.position};
}
}  // namespace

std::optional<SliderBarData> decodeSliderBarData(ByteView block) {
    return decodeWith<SliderBarData>(block, [](ByteReader& r, SliderBarData& d) {
        version(r, 1);
        for (std::int32_t* f : sliderFields(d)) r.i32(*f);
    });
}

Bytes encode(const SliderBarData& d) {
    Bytes out;
    ByteWriter w(out);
    w.u32(1);
    for (const std::int32_t* f : sliderFields(d)) w.i32(*f);
    return out;
}

std::optional<HtmlViewerData> decodeHtmlViewerData(ByteView block) {
    return decodeWith<HtmlViewerData>(block, [](ByteReader& r, HtmlViewerData& d) {
        version(r, 1);
        r.i32(d.fontSize), r.i32(d.offline), r.i32(d.silent);
        r.countedText(d.startAddress, "start address");
    });
}

Bytes encode(const HtmlViewerData& d) {
    Bytes out;
    ByteWriter w(out);
    w.u32(1), w.i32(d.fontSize), w.i32(d.offline), w.i32(d.silent);
    w.countedText(d.startAddress);
    return out;
}

std::optional<StatusBarData> decodeStatusBarData(ByteView block) {
    return decodeWith<StatusBarData>(block, [](ByteReader& r, StatusBarData& d) {
        version(r, 1);
        std::uint32_t count = 0;
        r.u32(d.settings), r.u32(count);
        // Each part takes at least 20 bytes: refuse counts the block cannot hold
        // before reserving anything.
        if (r.ok() && count > r.remaining() / 20) {
            r.fail("status part count " + std::to_string(count) + " exceeds the block");
            return;
        }
        for (std::uint32_t i = 0; i < count && r.ok(); ++i) {
            StatusPart& p = d.parts.emplace_back();
            r.i32(p.width), r.i32(p.borderStyle), r.i32(p.image);
            r.countedText(p.text, "part text"), r.countedText(p.tip, "part tip");
        }
    });
}

Bytes encode(const StatusBarData& d) {
    Bytes out;
    ByteWriter w(out);
    w.u32(1), w.u32(d.settings), w.u32(static_cast<std::uint32_t>(d.parts.size()));
    for (const StatusPart& p : d.parts) {
        w.i32(p.width), w.i32(p.borderStyle), w.i32(p.image);
        w.countedText(p.text), w.countedText(p.tip);
    }
    return out;
}

namespace {
// Visits the stored words in order: 8, 9, 10, 11, 13, 14, 15, 16, 18, 20..23, 26..36.
template <typename D, typename F>
void eachListViewWord(D& d, F f) {
    f(d.viewType), f(d.border), f(d.iconAlignment), f(d.sortOrder);
    f(d.textColour), f(d.backgroundColour), f(d.textBackgroundColour);
    f(d.singleSelection), f(d.alwaysShowSelection);
    f(d.gridLines), f(d.fullRowSelect), f(d.checkBoxes), f(d.headerDragDrop);
    f(d.hotTrack), f(d.oneClickActivate), f(d.twoClickActivate), f(d.underlineHot);
    f(d.flatScrollBars), f(d.infoTips), f(d.labelEditable), f(d.headerHidden);
    f(d.selectWithFocus), f(d.currentRow), f(d.autoArrange);
}

bool readColumns(ByteReader& r, std::vector<ListColumn>& columns) {
    std::span<const std::uint8_t> block;
    if (!r.countedBlock(block, "column list")) return false;
    ByteReader cr(block, r.offset() - block.size());
    while (cr.ok() && cr.remaining() > 0) {
        ListColumn& c = columns.emplace_back();
        cr.u8(c.flags), cr.i32(c.image), cr.i32(c.alignment), cr.i32(c.width);
        cr.nulText(c.title, "column title");
    }
    return cr.ok() || r.fail(cr.error());
}

bool readRows(ByteReader& r, std::vector<ListRow>& rows) {
    std::span<const std::uint8_t> block;
    if (!r.countedBlock(block, "preset rows")) return false;
    ByteReader rr(block, r.offset() - block.size());
    while (rr.ok() && rr.remaining() > 0) {
        ListRow& row = rows.emplace_back();
        std::uint8_t closing = 0;
        rr.u8(row.flags), rr.i32(row.image), rr.i32(row.stateImage), rr.i32(row.indent);
        rr.u32(row.itemData), rr.nulText(row.title, "row title"), rr.u8(closing);
        if (rr.ok() && closing != 0) rr.fail("row closing byte is not 0");
    }
    return rr.ok() || r.fail(rr.error());
}
}  // namespace

std::optional<ListViewData> decodeListViewData(ByteView block) {
    return decodeWith<ListViewData>(block, [](ByteReader& r, ListViewData& d) {
        version(r, 1);
        eachListViewWord(d, [&r](auto& v) { r.word(v); });
        readOptionalFont(r, d.font);
        if (r.ok()) readColumns(r, d.columns);
        if (r.ok()) readRows(r, d.rows);
    });
}

Bytes encode(const ListViewData& d) {
    Bytes out;
    ByteWriter w(out);
    w.u32(1);
    eachListViewWord(d, [&w](auto v) { w.u32(static_cast<std::uint32_t>(v)); });
    writeOptionalFont(w, d.font);

    Bytes columns;
    ByteWriter cw(columns);
    for (const ListColumn& c : d.columns) {
        cw.u8(c.flags), cw.i32(c.image), cw.i32(c.alignment), cw.i32(c.width);
        cw.nulText(c.title);
    }
    w.countedBlock(columns);

    Bytes rows;
    ByteWriter rw(rows);
    for (const ListRow& row : d.rows) {
        rw.u8(row.flags), rw.i32(row.image), rw.i32(row.stateImage), rw.i32(row.indent);
        rw.u32(row.itemData), rw.nulText(row.title), rw.u8(0);
    }
    w.countedBlock(rows);
    return out;
}

std::optional<OutlookBarData> decodeOutlookBarData(ByteView block) {
    return decodeWith<OutlookBarData>(block, [](ByteReader& r, OutlookBarData& d) {
        r.u32(d.headerColour), r.u32(d.headerTextColour);
        r.u32(d.backgroundColour), r.u32(d.itemTextColour);
        readFont(r, d.headerFont), readFont(r, d.itemFont);
        r.i32(d.headerHeight), r.i32(d.itemHeight), r.i32(d.animationSteps);
    });
}

Bytes encode(const OutlookBarData& d) {
    Bytes out;
    ByteWriter w(out);
    w.u32(d.headerColour), w.u32(d.headerTextColour);
    w.u32(d.backgroundColour), w.u32(d.itemTextColour);
    writeFont(w, d.headerFont), writeFont(w, d.itemFont);
    w.i32(d.headerHeight), w.i32(d.itemHeight), w.i32(d.animationSteps);
    return out;
}

bool typeDataValid(std::uint32_t unitType, ByteView block) {
    switch (unitType) {
        case unit_type::kWindow: return decodeWindowData(block).has_value();
        case unit_type::kGroupBox: return decodeGroupBoxData(block).has_value();
        case unit_type::kLabel: return decodeLabelData(block).has_value();
        case unit_type::kSliderBar: return decodeSliderBarData(block).has_value();
        case unit_type::kHtmlViewer: return decodeHtmlViewerData(block).has_value();
        case unit_type::kStatusBar: return decodeStatusBarData(block).has_value();
        case unit_type::kListView: return decodeListViewData(block).has_value();
        case unit_type::kOutlookBar: return decodeOutlookBarData(block).has_value();
        default: return true;
    }
}

}  // namespace rt

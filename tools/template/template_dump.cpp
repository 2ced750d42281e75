#include "tools/template/template_dump.h"

#include <cstdio>
#include <map>

#include "encoding/text_encoding.h"
#include "runtime/window/template/template_codec.h"
#include "runtime/window/template/type_data.h"

namespace tools {
namespace {

std::string hex(std::uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", v);
    return buf;
}

std::string num(std::int64_t v) {
    return std::to_string(v);
}

// UTF-8 in quotes; a text whose bytes are not GBK characters as x"<hex>", so
// that no two texts dump alike.
std::string quoted(const rt::Text& gbk) {
    const std::string utf8 = encoding::gbkToUtf8(gbk);
    std::string out;
    if (encoding::gbkStrict(utf8) != gbk) {
        out = "x\"";
        for (unsigned char c : gbk) out += hex(c).substr(8);
        return out + '"';
    }
    out = "\"";
    for (unsigned char c : utf8) {
        if (c == '"' || c == '\\')
            out += {'\\', static_cast<char>(c)};
        else if (c < 0x20 || c == 0x7F)
            out += "\\x" + hex(c).substr(8);
        else
            out += static_cast<char>(c);
    }
    return out + '"';
}

// FNV-1a: the icon is shown by size and checksum, not byte by byte.
std::string bytesDigest(const rt::Bytes& bytes) {
    std::uint32_t h = 2166136261u;
    for (std::uint8_t b : bytes) h = (h ^ b) * 16777619u;
    return num(static_cast<std::int64_t>(bytes.size())) + " bytes fnv1a " + hex(h);
}

std::string typeName(std::uint32_t type) {
    static const std::map<std::uint32_t, std::string> kNames = {
        {rt::unit_type::kWindow, "window"},        {rt::unit_type::kMenuItem, "MenuItem"},
        {rt::unit_type::kGroupBox, "GroupBox"},    {rt::unit_type::kLabel, "Label"},
        {rt::unit_type::kSliderBar, "SliderBar"},  {rt::unit_type::kStatusBar, "StatusBar"},
        {rt::unit_type::kListView, "ListView"},    {rt::unit_type::kOutlookBar, "OutlookBar"},
        {rt::unit_type::kHtmlViewer, "HtmlViewer"}};
    auto it = kNames.find(type);
    return it == kNames.end() ? hex(type) : it->second;
}

class Dump {
  public:
    void line(const std::string& key, const std::string& value) {
        out_ += "  " + key + ' ' + value + '\n';
    }
    void font(const std::string& key, const rt::FontRecord& f) {
        line(key, quoted(f.faceName) + " height " + num(f.height) + " width " + num(f.width) +
                      " escapement " + num(f.escapement) + " orientation " + num(f.orientation) +
                      " weight " + num(f.weight) + " italic " + num(f.italic) + " underline " +
                      num(f.underline) + " strikeout " + num(f.strikeOut) + " charset " +
                      num(f.charset) + " precision " + num(f.outPrecision) + " clip " +
                      num(f.clipPrecision) + " quality " + num(f.quality) + " pitch " +
                      num(f.pitchAndFamily));
    }
    void font(const std::string& key, const std::optional<rt::FontRecord>& f) {
        if (f)
            font(key, *f);
        else
            line(key, "default");
    }

    void window(const rt::WindowEntry& w) {
        out_ += "window " + hex(w.id) + " words " + num(w.reservedWords[0]) + ' ' +
                num(w.reservedWords[1]) + " texts " + quoted(w.reservedTexts[0]) + ' ' +
                quoted(w.reservedTexts[1]) + '\n';
        for (const rt::UnitRecord& u : w.units) unit(u);
    }

    void unit(const rt::UnitRecord& u) {
        out_ += "unit " + hex(u.id) + ' ' + typeName(u.type) + ' ' + quoted(u.name) + '\n';
        line("parent", hex(u.parent));
        std::string children;
        for (std::uint32_t c : u.children) children += ' ' + hex(c);
        line("children", num(static_cast<std::int64_t>(u.children.size())) + children);
        line("geometry", num(u.left) + ' ' + num(u.top) + ' ' + num(u.width) + ' ' + num(u.height));
        line("flags", hex(u.flags));
        line("cursor", num(u.cursor));
        line("tag", quoted(u.tag));
        line("comment", quoted(u.comment));
        line("taborder", num(u.tabOrder));
        line("link", hex(u.link));
        for (const rt::EventBinding& e : u.events)
            line("event", num(e.event) + " handler " + num(e.handler));
        if (u.menu)
            line("menu", num(u.menu->words[0]) + ' ' + num(u.menu->words[1]) + ' ' +
                             num(u.menu->words[2]) + " caption " + quoted(u.menu->caption));
        line("typedata", num(static_cast<std::int64_t>(u.typeData.size())) + " bytes");
        typeData(u.type, u.typeData);
    }

    std::string take() { return std::move(out_); }

  private:
    void typeData(std::uint32_t type, rt::ByteView data) {
        using namespace rt::unit_type;
        switch (type) {
            case kWindow: return print(rt::decodeWindowData(data));
            case kGroupBox: return print(rt::decodeGroupBoxData(data));
            case kLabel: return print(rt::decodeLabelData(data));
            case kSliderBar: return print(rt::decodeSliderBarData(data));
            case kHtmlViewer: return print(rt::decodeHtmlViewerData(data));
            case kStatusBar: return print(rt::decodeStatusBarData(data));
            case kListView: return print(rt::decodeListViewData(data));
            case kOutlookBar: return print(rt::decodeOutlookBarData(data));
            default: {
                std::string bytes;
                for (std::uint8_t b : data) bytes += hex(b).substr(8);
                line("raw", bytes.empty() ? "-" : bytes);
            }
        }
    }

    template <class T>
    void print(const std::optional<T>& data) {
        if (data)
            fields(*data);
        else
            line("malformed", "type data");
    }

    void fields(const rt::WindowData& w) {
        line("title", quoted(w.title));
        line("border", num(w.borderStyle));
        line("buttons", num(w.buttons));
        line("icon", bytesDigest(w.icon));
    }
    void fields(const rt::GroupBoxData& g) {
        line("caption", quoted(g.caption));
        line("align", num(g.alignment));
        line("textcolour", hex(g.textColour));
        line("background", hex(g.backgroundColour));
        font("font", g.font);
    }
    void fields(const rt::LabelData& l) {
        line("caption", quoted(l.caption));
        line("effect", num(l.effect));
        line("border", num(l.border));
        line("borderwidth", num(l.borderWidth));
        line("bordercolours", hex(l.borderColours[0]) + ' ' + hex(l.borderColours[1]) + ' ' +
                                  hex(l.borderColours[2]));
        line("options", num(l.options));
        line("textcolour", hex(l.textColour));
        line("background", hex(l.backgroundColour));
        line("align", num(l.horizontalAlign) + ' ' + num(l.verticalAlign));
    }
    void fields(const rt::SliderBarData& s) {
        line("range", num(s.minimum) + ' ' + num(s.maximum));
        line("position", num(s.position));
        line("border", num(s.border));
        line("orientation", num(s.orientation));
        line("ticks", num(s.tickStyle) + ' ' + num(s.tickFrequency));
        line("pagesize", num(s.pageSize));
        line("linesize", num(s.lineSize));
        line("selection",
             num(s.showSelection) + ' ' + num(s.selectionStart) + ' ' + num(s.selectionEnd));
    }
    void fields(const rt::HtmlViewerData& h) {
        line("address", quoted(h.startAddress));
        line("fontsize", num(h.fontSize));
        line("offline", num(h.offline));
        line("silent", num(h.silent));
    }
    void fields(const rt::StatusBarData& s) {
        line("settings", num(s.settings));
        for (std::size_t i = 0; i < s.parts.size(); ++i) {
            const rt::StatusPart& p = s.parts[i];
            line("part", num(static_cast<std::int64_t>(i)) + ' ' + quoted(p.text) + " width " +
                             num(p.width) + " border " + num(p.borderStyle) + " image " +
                             num(p.image) + " tip " + quoted(p.tip));
        }
    }
    void fields(const rt::ListViewData& l) {
        line("view", num(l.viewType));
        const std::pair<const char*, std::int32_t> words[] = {
            {"border", l.border},
            {"iconalign", l.iconAlignment},
            {"sort", l.sortOrder},
            {"singleselection", l.singleSelection},
            {"alwaysshowselection", l.alwaysShowSelection},
            {"gridlines", l.gridLines},
            {"fullrowselect", l.fullRowSelect},
            {"checkboxes", l.checkBoxes},
            {"headerdragdrop", l.headerDragDrop},
            {"hottrack", l.hotTrack},
            {"oneclick", l.oneClickActivate},
            {"twoclick", l.twoClickActivate},
            {"underlinehot", l.underlineHot},
            {"flatscrollbars", l.flatScrollBars},
            {"infotips", l.infoTips},
            {"editable", l.labelEditable},
            {"noheader", l.headerHidden},
            {"selectwithfocus", l.selectWithFocus},
            {"currentrow", l.currentRow},
            {"autoarrange", l.autoArrange}};
        for (const auto& [key, value] : words) line(key, num(value));
        line("textcolour", hex(l.textColour));
        line("background", hex(l.backgroundColour));
        line("textbackground", hex(l.textBackgroundColour));
        font("font", l.font);
        for (std::size_t i = 0; i < l.columns.size(); ++i) {
            const rt::ListColumn& c = l.columns[i];
            line("column", num(static_cast<std::int64_t>(i)) + ' ' + quoted(c.title) + " width " +
                               num(c.width) + " align " + num(c.alignment) + " image " +
                               num(c.image) + " flags " + num(c.flags));
        }
        for (std::size_t i = 0; i < l.rows.size(); ++i) {
            const rt::ListRow& r = l.rows[i];
            line("row", num(static_cast<std::int64_t>(i)) + ' ' + quoted(r.title) + " image " +
                            num(r.image) + " state " + num(r.stateImage) + " indent " +
                            num(r.indent) + " data " + num(r.itemData) + " flags " + num(r.flags));
        }
    }
    void fields(const rt::OutlookBarData& o) {
        line("headercolour", hex(o.headerColour));
        line("headertextcolour", hex(o.headerTextColour));
        line("background", hex(o.backgroundColour));
        line("itemtextcolour", hex(o.itemTextColour));
        font("headerfont", o.headerFont);
        font("itemfont", o.itemFont);
        line("headerheight", num(o.headerHeight));
        line("itemheight", num(o.itemHeight));
        line("animation", num(o.animationSteps));
    }

    std::string out_;
};

}  // namespace

std::string dumpTemplate(const rt::WindowTemplate& tpl) {
    Dump d;
    for (const rt::WindowEntry& w : tpl.windows) d.window(w);
    return d.take();
}

std::string dumpTemplateBlock(std::span<const std::uint8_t> block) {
    rt::TemplateReadResult r = rt::readTemplate(block);
    if (!r.value) return "unreadable block: " + r.error + '\n';
    return dumpTemplate(*r.value);
}

}  // namespace tools

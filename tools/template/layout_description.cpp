#include "tools/template/layout_description.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <map>

#include "encoding/text_encoding.h"
#include "runtime/window/template/template_codec.h"
#include "runtime/window/template/type_data.h"

namespace tools {
namespace {

// Thrown inside the parser only; parseLayout() turns it into an error value.
struct ParseError {
    std::string message;
};

[[noreturn]] void fail(const std::string& message) {
    throw ParseError{message};
}

struct Token {
    std::string text;
    bool quoted = false;
};

std::vector<Token> tokenize(std::string_view line) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (true) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        if (i == line.size() || line[i] == '#') break;
        Token t;
        if (line[i] == '"') {
            t.quoted = true;
            for (++i;; ++i) {
                if (i == line.size()) fail("unterminated quoted text");
                if (line[i] == '"') break;
                if (line[i] == '\\' && i + 1 < line.size()) ++i;
                t.text += line[i];
            }
            ++i;
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
                t.text += line[i++];
            }
        }
        tokens.push_back(std::move(t));
    }
    return tokens;
}

// One statement: a key and its arguments, read left to right.
class Args {
  public:
    Args(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}
    const std::string& key() const { return tokens_[0].text; }
    bool more() const { return next_ < tokens_.size(); }
    const Token& peek() const {
        if (!more()) fail("'" + key() + "' needs more values");
        return tokens_[next_];
    }
    const Token& take() {
        const Token& t = peek();
        ++next_;
        return t;
    }
    std::string word() {
        const Token& t = take();
        if (t.quoted) fail("'" + key() + "': expected a word, not the text \"" + t.text + "\"");
        return t.text;
    }
    std::int64_t number(std::int64_t lo = INT32_MIN, std::int64_t hi = UINT32_MAX) {
        return toNumber(word(), lo, hi);
    }
    std::int32_t i32() { return static_cast<std::int32_t>(number(INT32_MIN, INT32_MAX)); }
    std::uint32_t u32() { return static_cast<std::uint32_t>(number(0, UINT32_MAX)); }
    std::int32_t flag() {
        const std::string w = word();
        if (w == "on" || w == "1") return 1;
        if (w == "off" || w == "0") return 0;
        fail("'" + key() + "': expected on or off, got '" + w + "'");
    }
    rt::Text text() {
        const Token& t = take();
        if (!t.quoted) fail("'" + key() + "': texts are written in double quotes");
        std::optional<rt::Text> g = encoding::gbkStrict(t.text);
        if (!g) fail("'" + key() + "': \"" + t.text + "\" has no GBK form");
        if (g->find('\0') != std::string::npos) fail("'" + key() + "': text holds a NUL");
        return *g;
    }
    std::uint32_t colour() {
        const std::string w = word();
        if (w == "transparent") return rt::kColourTransparent;
        unsigned r = 0, g = 0, b = 0;
        char end = 0;
        if (std::sscanf(w.c_str(), "rgb(%u,%u,%u%c", &r, &g, &b, &end) == 4 && end == ')' &&
            w.back() == ')' && r < 256 && g < 256 && b < 256) {
            return r | g << 8 | b << 16;
        }
        if (w.starts_with("rgb")) fail("'" + key() + "': bad colour '" + w + "'");
        return static_cast<std::uint32_t>(toNumber(w, 0, UINT32_MAX));
    }
    rt::FontRecord font() {
        rt::FontRecord f;
        f.faceName = text();
        if (f.faceName.size() > 31) fail("font face name longer than 31 bytes");
        f.height = i32();
        const std::string weight = word();
        f.weight = weight == "bold"     ? rt::kWeightBold
                   : weight == "normal" ? 400
                                        : static_cast<std::int32_t>(toNumber(weight, 0, 1000));
        const std::string charset = word();
        f.charset = charset == "gb2312"    ? rt::kCharsetGb2312
                    : charset == "default" ? 1
                                           : static_cast<std::uint8_t>(toNumber(charset, 0, 255));
        return f;
    }
    void end() const {
        if (more()) fail("'" + key() + "': unexpected '" + tokens_[next_].text + "'");
    }

  private:
    std::int64_t toNumber(const std::string& w, std::int64_t lo, std::int64_t hi) const {
        std::string_view s = w;
        bool negative = s.starts_with('-');
        if (negative) s.remove_prefix(1);
        int base = 10;
        if (s.starts_with("0x") || s.starts_with("0X")) s.remove_prefix(2), base = 16;
        std::uint64_t magnitude = 0;
        auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), magnitude, base);
        if (s.empty() || ec != std::errc() || p != s.data() + s.size() ||
            magnitude > (1ull << 33)) {
            fail("'" + key() + "': '" + w + "' is not a number");
        }
        const std::int64_t v =
            negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
        if (v < lo || v > hi) fail("'" + key() + "': " + w + " is out of range");
        return v;
    }

    std::vector<Token> tokens_;
    std::size_t next_ = 1;
};

struct Draft {
    rt::UnitRecord rec;
    std::string parentName;  // empty or "window": the window itself
    int line = 0;
    bool hasData = false;  // no type-data statement: the block stays empty (all defaults)
    rt::WindowData window;
    rt::GroupBoxData groupBox;
    rt::LabelData label;
    rt::SliderBarData slider;
    rt::HtmlViewerData html;
    rt::StatusBarData status;
    rt::ListViewData list;
    rt::OutlookBarData outlook;
};

struct WindowDraft {
    std::uint32_t id = 0;
    std::vector<Draft> units;
};

std::uint32_t unitTypeFromName(const std::string& name) {
    static const std::map<std::string, std::uint32_t> kTypes = {
        {"window", rt::unit_type::kWindow},         {"GroupBox", rt::unit_type::kGroupBox},
        {"Label", rt::unit_type::kLabel},           {"SliderBar", rt::unit_type::kSliderBar},
        {"StatusBar", rt::unit_type::kStatusBar},   {"ListView", rt::unit_type::kListView},
        {"OutlookBar", rt::unit_type::kOutlookBar}, {"HtmlViewer", rt::unit_type::kHtmlViewer}};
    auto it = kTypes.find(name);
    if (it == kTypes.end()) fail("unknown unit type '" + name + "'");
    return it->second;
}

std::int32_t alignment(const std::string& w) {
    if (w == "left" || w == "top") return 0;
    if (w == "centre") return 1;
    if (w == "right" || w == "bottom") return 2;
    fail("unknown alignment '" + w + "'");
}

class Parser {
  public:
    explicit Parser(const FileLoader& files) : files_(files) {}

    void statement(Args& a, int line) {
        const std::string& k = a.key();
        if (k == "handlers") {
            if (!layout_.handlers.empty()) fail("the handler list is declared twice");
            while (a.more()) addHandler(a.word());
        } else if (k == "window") {
            windows_.push_back({a.u32(), {}});
        } else if (k == "code") {
            if (windows_.empty()) fail("'code' before any 'window'");
            addCodeName(a.word());
        } else if (k == "unit") {
            if (windows_.empty()) fail("'unit' before any 'window'");
            Draft d;
            d.rec.id = a.u32();
            d.rec.type = unitTypeFromName(a.word());
            if (a.more()) d.rec.name = a.text();
            d.line = line;
            windows_.back().units.push_back(std::move(d));
        } else {
            if (windows_.empty() || windows_.back().units.empty())
                fail("'" + k + "' outside a unit");
            Draft& d = windows_.back().units.back();
            if (!commonKey(a, d)) {
                d.hasData = true;
                typeKey(a, d);
            }
        }
        a.end();
    }

    Layout finish() {
        for (WindowDraft& w : windows_) layout_.tpl.windows.push_back(build(w));
        return std::move(layout_);
    }

  private:
    void addHandler(const std::string& name) {
        bool ok = !name.empty() && !std::isdigit(static_cast<unsigned char>(name[0]));
        for (char c : name)
            ok = ok && (std::islower(static_cast<unsigned char>(c)) ||
                        std::isdigit(static_cast<unsigned char>(c)) || c == '_');
        if (!ok || name == "none") fail("handler name '" + name + "' is not lower_case");
        if (handlerIndex_.count(name)) fail("handler '" + name + "' is listed twice");
        handlerIndex_[name] = static_cast<std::int32_t>(layout_.handlers.size());
        layout_.handlers.push_back(name);
    }

    // Names the window when it has no unit yet, else its last unit.
    void addCodeName(const std::string& name) {
        bool ok = !name.empty() && std::islower(static_cast<unsigned char>(name[0]));
        for (char c : name) ok = ok && std::isalnum(static_cast<unsigned char>(c));
        if (!ok) fail("code name '" + name + "' is not camelCase");
        for (const CodeName& c : layout_.codeNames)
            if (c.name == name) fail("code name '" + name + "' is used twice");
        const WindowDraft& w = windows_.back();
        CodeName c{name, w.id, std::nullopt, {}};
        if (!w.units.empty()) {
            c.unit = w.units.back().rec.id;
            c.designName = encoding::gbkToUtf8(w.units.back().rec.name);
        }
        for (const CodeName& other : layout_.codeNames)
            if (other.window == c.window && other.unit == c.unit)
                fail("'" + name + "': this " + (c.unit ? "unit" : "window") +
                     " has a code name already");
        layout_.codeNames.push_back(std::move(c));
    }

    bool commonKey(Args& a, Draft& d) {
        const std::string& k = a.key();
        rt::UnitRecord& u = d.rec;
        if (k == "parent") {
            if (!a.peek().quoted && a.peek().text == "window") {
                a.take();
                d.parentName.clear();
            } else {
                d.parentName = a.text();
            }
        } else if (k == "geometry") {
            u.left = a.i32(), u.top = a.i32(), u.width = a.i32(), u.height = a.i32();
        } else if (k == "flags") {
            u.flags = 0;
            while (a.more()) {
                const std::string w = a.word();
                u.flags |= w == "visible"    ? rt::unit_flag::kVisible
                           : w == "disabled" ? rt::unit_flag::kDisabled
                           : w == "tabstop"  ? rt::unit_flag::kTabStop
                                             : (fail("unknown flag '" + w + "'"), 0u);
            }
        } else if (k == "cursor") {
            const std::string& w = a.peek().text;
            if (w == "arrow" || w == "hand") {
                u.cursor = a.word() == "hand" ? rt::kCursorHand : rt::kCursorArrow;
            } else {
                u.cursor = a.u32();
            }
        } else if (k == "event") {
            rt::EventBinding e;
            e.event = a.i32();
            const std::string h = a.word();
            if (h != "none") {
                auto it = handlerIndex_.find(h);
                if (it == handlerIndex_.end())
                    fail("handler '" + h + "' is not in the handler list");
                e.handler = it->second;
            }
            u.events.push_back(e);
        } else if (k == "tag") {
            u.tag = a.text();
        } else if (k == "comment") {
            u.comment = a.text();
        } else if (k == "taborder") {
            u.tabOrder = a.u32();
        } else if (k == "link") {
            u.link = a.u32();
        } else {
            return false;
        }
        return true;
    }

    void typeKey(Args& a, Draft& d) {
        const std::string& k = a.key();
        bool known = true;
        switch (d.rec.type) {
            case rt::unit_type::kWindow: known = windowKey(a, d.window); break;
            case rt::unit_type::kGroupBox: known = groupBoxKey(a, d.groupBox); break;
            case rt::unit_type::kLabel: known = labelKey(a, d.label); break;
            case rt::unit_type::kSliderBar: known = sliderKey(a, d.slider); break;
            case rt::unit_type::kHtmlViewer: known = htmlKey(a, d.html); break;
            case rt::unit_type::kStatusBar: known = statusKey(a, d.status); break;
            case rt::unit_type::kListView: known = listKey(a, d.list); break;
            case rt::unit_type::kOutlookBar: known = outlookKey(a, d.outlook); break;
            default: known = false;
        }
        if (!known) fail("unknown key '" + k + "' for this unit type");
    }

    bool windowKey(Args& a, rt::WindowData& w) {
        const std::string& k = a.key();
        if (k == "title")
            w.title = a.text();
        else if (k == "border")
            w.borderStyle = a.u32();
        else if (k == "buttons")
            w.buttons = a.u32();
        else if (k == "icon") {
            const std::string name = a.word();
            std::optional<rt::Bytes> bytes = files_ ? files_(name) : std::nullopt;
            if (!bytes) fail("no file '" + name + "' for the icon");
            w.icon = std::move(*bytes);
        } else
            return false;
        return true;
    }

    bool groupBoxKey(Args& a, rt::GroupBoxData& g) {
        const std::string& k = a.key();
        if (k == "caption")
            g.caption = a.text();
        else if (k == "align")
            g.alignment = alignment(a.word());
        else if (k == "textcolour")
            g.textColour = a.colour();
        else if (k == "background")
            g.backgroundColour = a.colour();
        else if (k == "font")
            g.font = a.font();
        else
            return false;
        return true;
    }

    bool labelKey(Args& a, rt::LabelData& l) {
        const std::string& k = a.key();
        if (k == "caption")
            l.caption = a.text();
        else if (k == "textcolour")
            l.textColour = a.colour();
        else if (k == "background")
            l.backgroundColour = a.colour();
        else if (k == "effect")
            l.effect = a.i32();
        else if (k == "border")
            l.border = a.i32();
        else if (k == "borderwidth")
            l.borderWidth = a.i32();
        else if (k == "bordercolours")
            for (std::uint32_t& c : l.borderColours) c = a.colour();
        else if (k == "options")
            l.options = a.u32();
        else if (k == "align")
            l.horizontalAlign = alignment(a.word()), l.verticalAlign = alignment(a.word());
        else
            return false;
        return true;
    }

    bool sliderKey(Args& a, rt::SliderBarData& s) {
        const std::string& k = a.key();
        if (k == "range")
            s.minimum = a.i32(), s.maximum = a.i32();
        else if (k == "position")
            s.position = a.i32();
        else if (k == "border")
            s.border = a.i32();
        else if (k == "orientation")
            s.orientation = a.i32();
        else if (k == "ticks")
            s.tickStyle = a.i32(), s.tickFrequency = a.i32();
        else if (k == "pagesize")
            s.pageSize = a.i32();
        else if (k == "linesize")
            s.lineSize = a.i32();
        else if (k == "selection")
            s.showSelection = a.flag(), s.selectionStart = a.i32(), s.selectionEnd = a.i32();
        else
            return false;
        return true;
    }

    bool htmlKey(Args& a, rt::HtmlViewerData& h) {
        const std::string& k = a.key();
        if (k == "address")
            h.startAddress = a.text();
        else if (k == "fontsize")
            h.fontSize = a.i32();
        else if (k == "offline")
            h.offline = a.flag();
        else if (k == "silent")
            h.silent = a.flag();
        else
            return false;
        return true;
    }

    // part WIDTH "text" [border N] [image N] [tip "..."]
    bool statusKey(Args& a, rt::StatusBarData& s) {
        const std::string& k = a.key();
        if (k == "settings") {
            s.settings = a.u32();
        } else if (k == "part") {
            rt::StatusPart& p = s.parts.emplace_back();
            p.width = a.i32();
            p.text = a.text();
            while (a.more()) {
                const std::string opt = a.word();
                if (opt == "border")
                    p.borderStyle = a.i32();
                else if (opt == "image")
                    p.image = a.i32();
                else if (opt == "tip")
                    p.tip = a.text();
                else
                    fail("unknown part option '" + opt + "'");
            }
        } else {
            return false;
        }
        return true;
    }

    bool listKey(Args& a, rt::ListViewData& l) {
        const std::string& k = a.key();
        static const std::map<std::string, std::int32_t rt::ListViewData::*> kWords = {
            {"border", &rt::ListViewData::border},
            {"iconalign", &rt::ListViewData::iconAlignment},
            {"sort", &rt::ListViewData::sortOrder},
            {"singleselection", &rt::ListViewData::singleSelection},
            {"alwaysshowselection", &rt::ListViewData::alwaysShowSelection},
            {"gridlines", &rt::ListViewData::gridLines},
            {"fullrowselect", &rt::ListViewData::fullRowSelect},
            {"checkboxes", &rt::ListViewData::checkBoxes},
            {"headerdragdrop", &rt::ListViewData::headerDragDrop},
            {"hottrack", &rt::ListViewData::hotTrack},
            {"oneclick", &rt::ListViewData::oneClickActivate},
            {"twoclick", &rt::ListViewData::twoClickActivate},
            {"underlinehot", &rt::ListViewData::underlineHot},
            {"flatscrollbars", &rt::ListViewData::flatScrollBars},
            {"infotips", &rt::ListViewData::infoTips},
            {"editable", &rt::ListViewData::labelEditable},
            {"noheader", &rt::ListViewData::headerHidden},
            {"selectwithfocus", &rt::ListViewData::selectWithFocus},
            {"autoarrange", &rt::ListViewData::autoArrange}};
        if (auto it = kWords.find(k); it != kWords.end()) {
            l.*(it->second) = a.i32();
        } else if (k == "view") {
            const std::string w = a.word();
            l.viewType = w == "icons"        ? 0
                         : w == "smallicons" ? 1
                         : w == "list"       ? 2
                         : w == "report"     ? 3
                                             : (fail("unknown view '" + w + "'"), 0);
        } else if (k == "currentrow") {
            l.currentRow = a.i32();
        } else if (k == "textcolour") {
            l.textColour = a.colour();
        } else if (k == "background") {
            l.backgroundColour = a.colour();
        } else if (k == "textbackground") {
            l.textBackgroundColour = a.colour();
        } else if (k == "font") {
            l.font = a.font();
        } else if (k == "column") {  // column "title" WIDTH [left|right|centre]
            rt::ListColumn& c = l.columns.emplace_back();
            c.title = a.text();
            c.width = a.i32();
            if (a.more()) {
                const std::string w = a.word();
                c.alignment = w == "left"     ? 0
                              : w == "right"  ? 1
                              : w == "centre" ? 2
                                              : (fail("unknown alignment '" + w + "'"), 0);
            }
        } else if (k == "row") {
            l.rows.emplace_back().title = a.text();
        } else {
            return false;
        }
        return true;
    }

    bool outlookKey(Args& a, rt::OutlookBarData& o) {
        const std::string& k = a.key();
        if (k == "headercolour")
            o.headerColour = a.colour();
        else if (k == "headertextcolour")
            o.headerTextColour = a.colour();
        else if (k == "background")
            o.backgroundColour = a.colour();
        else if (k == "itemtextcolour")
            o.itemTextColour = a.colour();
        else if (k == "headerfont")
            o.headerFont = a.font();
        else if (k == "itemfont")
            o.itemFont = a.font();
        else if (k == "headerheight")
            o.headerHeight = a.i32();
        else if (k == "itemheight")
            o.itemHeight = a.i32();
        else if (k == "animation")
            o.animationSteps = a.i32();
        else
            return false;
        return true;
    }

    static rt::Bytes typeData(const Draft& d) {
        if (!d.hasData) return {};
        switch (d.rec.type) {
            case rt::unit_type::kWindow: return rt::encode(d.window);
            case rt::unit_type::kGroupBox: return rt::encode(d.groupBox);
            case rt::unit_type::kLabel: return rt::encode(d.label);
            case rt::unit_type::kSliderBar: return rt::encode(d.slider);
            case rt::unit_type::kHtmlViewer: return rt::encode(d.html);
            case rt::unit_type::kStatusBar: return rt::encode(d.status);
            case rt::unit_type::kListView: return rt::encode(d.list);
            case rt::unit_type::kOutlookBar: return rt::encode(d.outlook);
            default: return {};
        }
    }

    // Resolves parents by name and lists each unit among its parent's children
    // in record order.
    static rt::WindowEntry build(WindowDraft& w) {
        rt::WindowEntry win;
        win.id = w.id;
        std::map<rt::Text, std::size_t> byName;
        for (std::size_t i = 0; i < w.units.size(); ++i) {
            const rt::Text& name = w.units[i].rec.name;
            if (!name.empty() && !byName.emplace(name, i).second) {
                fail("line " + std::to_string(w.units[i].line) + ": unit name used twice");
            }
        }
        for (Draft& d : w.units) {
            d.rec.typeData = typeData(d);
            if (d.parentName.empty()) continue;
            auto it = byName.find(d.parentName);
            if (it == byName.end()) {
                fail("line " + std::to_string(d.line) + ": parent '" +
                     encoding::gbkToUtf8(d.parentName) + "' is not a unit of this window");
            }
            d.rec.parent = w.units[it->second].rec.id;
            w.units[it->second].rec.children.push_back(d.rec.id);
        }
        for (Draft& d : w.units) win.units.push_back(std::move(d.rec));
        return win;
    }

    const FileLoader& files_;
    Layout layout_;
    std::map<std::string, std::int32_t> handlerIndex_;
    std::vector<WindowDraft> windows_;
};

}  // namespace

LayoutResult parseLayout(std::string_view text, const FileLoader& files) {
    LayoutResult result;
    Parser parser(files);
    int line = 0;
    try {
        std::size_t start = 0;
        while (start <= text.size()) {
            const std::size_t end = std::min(text.find('\n', start), text.size());
            ++line;
            std::vector<Token> tokens = tokenize(text.substr(start, end - start));
            if (!tokens.empty()) {
                if (tokens[0].quoted) fail("a statement starts with a key, not a text");
                Args args(std::move(tokens));
                parser.statement(args, line);
            }
            start = end + 1;
        }
        line = 0;
        Layout layout = parser.finish();
        rt::TemplateReadResult check = rt::readTemplate(rt::writeTemplate(layout.tpl));
        if (!check.value) fail("the layout makes an unreadable block: " + check.error);
        result.value = std::move(layout);
    } catch (const ParseError& e) {
        result.error = line ? "line " + std::to_string(line) + ": " + e.message : e.message;
    }
    return result;
}

}  // namespace tools

// Channel names as catalogue rows and XMLTV feeds write them, brought to
// forms that compare, and what the program knows of renamed channels, brand
// prefixes and suffixes (the data file channel_names.txt, built in).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace epg {

// One name in three forms, each looser than the one before. All of them drop
// case, blanks, "-", "_" and "·", and read full-width letters, digits and
// signs as their ASCII twins.
struct NameForms {
    std::u32string whole;     // bracket signs dropped, the words inside kept
    std::u32string core;      // bracketed descriptors dropped: "（综合）", "(上海卫视)"
    std::u32string stripped;  // and suffixes such as 高清 or 台, while something remains
};

class ChannelNames {
  public:
    // Parses the data file's text; an error names the line.
    static std::optional<ChannelNames> parse(std::string_view text, std::string& error);
    // The table built into the program.
    static const ChannelNames& builtIn();

    NameForms forms(std::string_view utf8) const;
    // The forms of a catalogue name without the brand prefix feeds leave
    // out ("CCTV风云足球" -> "风云足球"); none when it has no such prefix or
    // the rest is no name of its own (a channel number, a Latin letter).
    std::optional<NameForms> withoutBrand(std::string_view utf8) const;
    // The names a renamed catalogue channel has in today's feeds, in order of
    // preference; null for a channel not renamed.
    const std::vector<std::string>* renamed(std::string_view catalogueName) const;

  private:
    NameForms formsOfFolded(std::u32string folded) const;

    std::unordered_map<std::string, std::vector<std::string>> renames_;
    std::vector<std::u32string> brands_, suffixes_, variants_;
};

}  // namespace epg

// Channel names as the catalogue, feeds and players write them, brought to
// one key per channel: the only place that decides whether two names are
// the same channel. What the rules cannot know (renamed channels, pinyin
// ids, brands, descriptor words) comes from the data file
// channel_names.txt, built in.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace epg {

class ChannelNames {
  public:
    // Parses the data file's text; an error names the line.
    static std::optional<ChannelNames> parse(std::string_view text, std::string& error);
    // The table built into the program.
    static const ChannelNames& builtIn();

    // The key of a channel name (UTF-8), equal for every form of one
    // channel's name and different for every other channel:
    // - Traditional characters read as Simplified; full-width letters, digits
    //   and signs as their ASCII twins; case, blanks, "-", "_" and "·"
    //   ignored; a CCTV number without leading zeros ("CCTV-01" is CCTV1);
    // - "CCTV" and a number is that number's channel whatever descriptor
    //   follows ("CCTV-1 综合", "CCTV-17农业农村"), unless a word of the
    //   table makes it another one ("CCTV-5+", "CCTV-4 欧洲", "CCTV-4K");
    // - bracketed descriptors dropped ("（综合）"), but not a word that tells
    //   two channels apart ("(亚洲)"), and a stream's picture size or status
    //   in brackets ("(1080p)", "[Geo-blocked]") even after a CCTV number;
    //   "⁺" is "+"; then suffixes such as 高清 or 台 while
    //   something remains; a brand the feeds leave out ("CCTV老故事" is
    //   老故事) when a Chinese name remains;
    // - a name the table gives to a channel known by another is that one's.
    // Empty when nothing of the name remains.
    std::string key(std::string_view utf8) const;
    // Whether a key names a channel for certain: a CCTV number or a channel
    // of the table. A feed's id that says one such channel does not name a
    // channel whose display-names say another.
    bool definite(std::string_view key) const;

  private:
    struct Other {
        std::u32string canonical;
        std::vector<std::u32string> forms;
    };

    std::u32string base(std::u32string folded) const;
    std::u32string cctvNumber(const std::u32string& whole) const;
    std::u32string withoutSuffixes(std::u32string s) const;
    std::string addSame(const std::vector<std::string_view>& names);

    std::unordered_map<std::u32string, std::u32string> same_;  // base -> the channel's key
    std::vector<std::u32string> brands_, suffixes_, variants_, statuses_;
    std::vector<Other> others_;
};

}  // namespace epg

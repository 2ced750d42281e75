// The system colours of the library layer, by colour index (COLOR_SCROLLBAR 0
// .. COLOR_MENUBAR 30), as 0x00BBGGRR words. They start at the classic
// Windows defaults; SetSysColors changes them and the window backend turns
// them into its palette.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>

namespace skin {

class SystemColours {
  public:
    static constexpr int kCount = 31;
    SystemColours();
    static bool validIndex(int index) { return index >= 0 && index < kCount && index != 25; }
    std::optional<std::uint32_t> get(int index) const;
    // Only the low 24 bits of `colour` are kept. False for an invalid index.
    bool set(int index, std::uint32_t colour);
    // The colours changed since start, by index.
    std::map<int, std::uint32_t> changed() const;
    std::uint64_t generation() const { return generation_; }  // bumps on every change

  private:
    std::array<std::uint32_t, kCount> colours_;
    std::array<bool, kCount> changed_{};
    std::uint64_t generation_ = 0;
};

}  // namespace skin

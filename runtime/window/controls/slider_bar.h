// Model of a track bar. The position always lies inside [minimum, maximum].
#pragma once

#include <algorithm>
#include <cstdint>

#include "runtime/window/template/type_data.h"

namespace rt {

class SliderBar {
  public:
    SliderBar() { setRange(design_.minimum, design_.maximum, design_.position); }
    explicit SliderBar(const SliderBarData& design) : design_(design) {
        setRange(design.minimum, design.maximum, design.position);
    }

    std::int32_t minimum() const { return design_.minimum; }
    std::int32_t maximum() const { return design_.maximum; }
    std::int32_t position() const { return design_.position; }
    // Properties 8..16 as stored; 17..19 are kept current here too.
    const SliderBarData& values() const { return design_; }
    SliderBarData& values() { return design_; }

    void setPosition(std::int32_t p) {
        design_.position = std::clamp(p, design_.minimum, design_.maximum);
    }
    void setMinimum(std::int32_t v) { setRange(v, std::max(v, design_.maximum), design_.position); }
    void setMaximum(std::int32_t v) { setRange(std::min(v, design_.minimum), v, design_.position); }

  private:
    void setRange(std::int32_t min, std::int32_t max, std::int32_t pos) {
        design_.minimum = min;
        design_.maximum = std::max(min, max);
        setPosition(pos);
    }
    SliderBarData design_;
};

}  // namespace rt

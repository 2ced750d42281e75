// An allocation that failed, with the size asked for where the code that
// asked knows it. Thrown like std::bad_alloc (which it is); the runtime turns
// either into its fatal report "分配 %d 字节内存失败!" (0 for a plain bad_alloc).
#pragma once

#include <cstddef>
#include <new>

namespace rt {

class AllocationFailure : public std::bad_alloc {
  public:
    explicit AllocationFailure(std::size_t bytes) : bytes_(bytes) {}
    std::size_t bytes() const { return bytes_; }
    const char* what() const noexcept override { return "allocation failed"; }

  private:
    std::size_t bytes_;
};

// The size a failed allocation asked for: known for AllocationFailure, else 0.
inline std::size_t failedAllocationSize(const std::bad_alloc& failure) {
    const auto* known = dynamic_cast<const AllocationFailure*>(&failure);
    return known ? known->bytes() : 0;
}

}  // namespace rt

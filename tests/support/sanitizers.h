// Whether this build runs under AddressSanitizer or ThreadSanitizer, whose
// shadow memory needs more address space than the limits some tests set.
#pragma once

// GCC says so with __SANITIZE_*__, clang with __has_feature.
#if defined(__has_feature)
#define TEST_SUPPORT_HAS_FEATURE(x) __has_feature(x)
#else
#define TEST_SUPPORT_HAS_FEATURE(x) 0
#endif

namespace test_support {

#if defined(__SANITIZE_ADDRESS__) || TEST_SUPPORT_HAS_FEATURE(address_sanitizer)
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif

#if defined(__SANITIZE_THREAD__) || TEST_SUPPORT_HAS_FEATURE(thread_sanitizer)
inline constexpr bool kThreadSanitizer = true;
#else
inline constexpr bool kThreadSanitizer = false;
#endif

}  // namespace test_support

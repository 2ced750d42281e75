#!/usr/bin/env bash
# The check of every change, from a clean clone, in about ten minutes on two
# cores: installs what is missing, checks the format, builds the programs,
# tools and benchmarks with every warning an error (Release, gcc), compiles
# each source alone for syntax only, the tests' included (so that a missing
# #include fails, and gcc's warnings reach the tests too), checks the
# install and the .deb, runs each benchmark once on a small input; then
# builds everything with clang under AddressSanitizer and UBSan (no
# recovery, warnings as errors) and runs every test there, the window's on
# Qt's offscreen platform. Prints the time of each step at the end; exits
# non-zero on the first failure.
#
# What costs more than it finds on each change runs in scripts/test_long.sh
# (CI runs it after this): the suites on the Release build, fuzzing, and
# the threaded suites under ThreadSanitizer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
scripts=$root/scripts
jobs=$(nproc)

# shellcheck source=scripts/steps.sh
source "$scripts/steps.sh"

step "packages" bash "$scripts/setup.sh"
step "format" bash "$scripts/check_format.sh"
step "build, warnings as errors" bash "$scripts/build.sh" release "$root/build-test" programs
# The build above compiles sources in batches and leaves the suites to the
# sanitizer tree; here each source compiles alone, for syntax only, so that
# a missing #include fails without a second full build.
step "each source alone" python3 "$scripts/include_check.py" "$root/build-test"
step "install and package" bash "$scripts/check_install.sh" "$root/build-test"
# Twice as many at once as there are cores: they spend their time waiting
# for sockets, child processes and timers.
step "benchmarks, once each" ctest --test-dir "$root/build-test" -L bench-smoke --output-on-failure \
  -j "$((2 * jobs))" --timeout 600

step "build, ASan and UBSan" bash "$scripts/build.sh" sanitize "$root/build-sanitize"
step "tests under ASan and UBSan" ctest --test-dir "$root/build-sanitize" --output-on-failure \
  -j "$((2 * jobs))" --timeout 900

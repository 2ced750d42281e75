#!/usr/bin/env bash
# The checks that left scripts/test.sh because each change cannot wait for
# them: CI runs this after it, and anyone may before a release. Builds and
# runs every suite on the Release tree (gcc, -O3: the build that ships),
# fuzzes each target (FUZZ_SECONDS, default 20 s, two at a time), and builds
# the threaded parts' suites (the server, the guide's downloads, the
# schedule store) under ThreadSanitizer and runs them (any data race fatal).
# Expects scripts/test.sh to have run (packages, the Release tree).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
scripts=$root/scripts
jobs=$(nproc)
# shellcheck source=scripts/steps.sh
source "$scripts/steps.sh"

step "build, the suites on Release" bash "$scripts/build.sh" release "$root/build-test"
# The benchmarks' smoke runs were the test command's.
step "tests on Release" ctest --test-dir "$root/build-test" -LE bench-smoke --output-on-failure \
  -j "$((2 * jobs))" --timeout 600

step "fuzz" env FUZZ_SECONDS="${FUZZ_SECONDS:-20}" bash "$scripts/fuzz.sh" "$root/build-fuzz"

# The server's threads each run an event loop and share the published
# snapshot and the connection list; the guide downloads on a thread of its
# own, the schedule store on four. Their suites carry the label "threaded";
# a data race fails the run.
step "build, ThreadSanitizer" bash "$scripts/build.sh" tsan "$root/build-tsan" server_tests http_tests \
  schedule_store_tests
tsan_tests() {
  export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
  # Without address randomisation where that is allowed: GCC 12's sanitizer
  # cannot map its shadow under the wider randomisation of newer kernels.
  local norandom=()
  setarch "$(uname -m)" -R true 2>/dev/null && norandom=(setarch "$(uname -m)" -R)
  "${norandom[@]}" ctest --test-dir "$root/build-tsan" -L threaded --output-on-failure \
    -j "$jobs" --timeout 900
}
step "tests under ThreadSanitizer" tsan_tests

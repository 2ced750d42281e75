#!/usr/bin/env bash
# The whole check, from a clean clone: installs what is missing, checks the
# format, builds with every warning an error (Release), compiles each source
# alone for syntax only (so that a missing #include fails), checks the
# install and the .deb, runs every test and each benchmark once on a small
# input; builds once more with
# clang under AddressSanitizer and UBSan (no recovery, warnings as errors,
# the window included), fuzzes each target there briefly and runs every test
# again under the sanitizers, the window's on Qt's offscreen platform; last
# builds the suites of the threaded parts (the server, the guide's downloads,
# the schedule store) under ThreadSanitizer and runs them (any data race
# fatal). Prints the time of each step at the end; exits non-zero on the
# first failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
scripts=$root/scripts
jobs=$(nproc)

times=()
report() {
  local status=$?
  echo
  echo "test: time of each step"
  for t in "${times[@]}"; do echo "  $t"; done
  echo "  total $((SECONDS / 60)) min $((SECONDS % 60)) s$( ((status)) && echo ', FAILED')"
}
trap report EXIT
step() {
  local name=$1 start=$SECONDS
  shift
  echo "test: $name"
  "$@"
  times+=("$(printf '%-34s %4d s' "$name" $((SECONDS - start)))")
}

step "packages" bash "$scripts/setup.sh"
step "format" bash "$scripts/check_format.sh"
step "build, warnings as errors" bash "$scripts/build.sh" release "$root/build-test"
# The build above compiles sources in batches; here each compiles alone, for
# syntax only, so that a missing #include fails without a second full build.
step "each source alone" python3 "$scripts/include_check.py" "$root/build-test"
step "install and package" bash "$scripts/check_install.sh" "$root/build-test"
# Twice as many tests at once as there are cores: many of them, and the
# benchmarks' smoke runs above all, spend their time waiting for a socket, a
# child process or a timer.
step "tests" ctest --test-dir "$root/build-test" --output-on-failure -j "$((2 * jobs))" --timeout 600

# One clang tree serves both: the tests under the sanitizers and the fuzz
# targets.
step "build, ASan and UBSan" bash "$scripts/build.sh" sanitize "$root/build-sanitize"
step "fuzz" env FUZZ_SECONDS="${FUZZ_SECONDS:-5}" bash "$scripts/fuzz.sh" "$root/build-sanitize"
step "tests under ASan and UBSan" ctest --test-dir "$root/build-sanitize" --output-on-failure \
  -j "$jobs" --timeout 900

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

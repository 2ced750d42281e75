#!/usr/bin/env bash
# Installs what is missing, checks the format, builds with warnings as errors,
# checks the install and the .deb, runs a short fuzz pass over the parsers and
# the loader (clang, AddressSanitizer, UBSan), then every test under CTest, the
# tests once more in a build under AddressSanitizer and UBSan, and the suites
# of the threaded parts (the server, the guide's downloads) under
# ThreadSanitizer.
# Exits non-zero on any failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/check_format.sh"
bash "$root/scripts/build.sh" "$root/build-test" -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
bash "$root/scripts/check_install.sh" "$root/build-test"
FUZZ_SECONDS=${FUZZ_SECONDS:-15} bash "$root/scripts/fuzz.sh"
(cd "$root/build-test" && ctest --output-on-failure -j "$(nproc)" --timeout 600)
# The same tests under the sanitizers (no Qt window: the headless backend and
# the probe run the same guide code); any report fails its test.
bash "$root/scripts/build.sh" "$root/build-sanitize" -DTVGUIDE_SANITIZE=ON -DTVGUIDE_QT=OFF \
  -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
(cd "$root/build-sanitize" && ctest --output-on-failure -j "$(nproc)" --timeout 900)
# The server's threads share one event loop and the published snapshot; the
# guide downloads on a thread of its own. A data race fails the run.
cmake -S "$root" -B "$root/build-tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTVGUIDE_TSAN=ON \
  -DTVGUIDE_QT=OFF -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build "$root/build-tsan" -j "$(nproc)" --target server_tests http_tests
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
# Without address randomisation where that is allowed: GCC 12's sanitizer
# cannot map its shadow under the wider randomisation of newer kernels.
norandom=()
setarch "$(uname -m)" -R true 2>/dev/null && norandom=(setarch "$(uname -m)" -R)
"${norandom[@]}" "$root/build-tsan/tests/server/server_tests" --gtest_brief=1
"${norandom[@]}" "$root/build-tsan/tests/http/http_tests" --gtest_brief=1

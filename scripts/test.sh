#!/usr/bin/env bash
# Installs what is missing, checks the format, builds with warnings as errors,
# checks the install and the .deb, runs a short fuzz pass over the parsers and
# the loader (clang, AddressSanitizer, UBSan), then every test under CTest, and
# the tests once more in a build under AddressSanitizer and UBSan.
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
cd "$root/build-sanitize"
ctest --output-on-failure -j "$(nproc)" --timeout 900

#!/usr/bin/env bash
# Installs what is missing, builds, checks the install and the .deb, runs a
# short fuzz pass over the parsers and the loader (clang, AddressSanitizer,
# UBSan), then every test under CTest.
# Exits non-zero on any failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" "$root/build-test"
bash "$root/scripts/check_install.sh" "$root/build-test"
FUZZ_SECONDS=${FUZZ_SECONDS:-15} bash "$root/scripts/fuzz.sh"
cd "$root/build-test"
ctest --output-on-failure -j "$(nproc)" --timeout 600

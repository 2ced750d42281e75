#!/usr/bin/env bash
# Installs what is missing, builds everything from scratch-safe state and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" "$root/build-test"
cd "$root/build-test"
ctest --output-on-failure -j "$(nproc)" --timeout 600

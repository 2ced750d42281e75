#!/usr/bin/env bash
# Writes the README's pictures: docs/window.png and one PNG per view of the
# schedule, from the sample listings on a fixed clock, without a display.
#   scripts/screenshots.sh [BUILD_DIR]   (default build-rel; built if needed)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build-rel}
[[ -f $dir/CMakeCache.txt ]] || bash "$root/scripts/build.sh" release "$dir" tvguide-screenshots
cmake --build "$dir" --target tvguide-screenshots
mkdir -p "$root/docs"
QT_QPA_PLATFORM=offscreen TZ=Asia/Shanghai "$dir/app/tvguide-screenshots" "$root/docs"

#!/usr/bin/env bash
# How fast tvguide-epgd reads a big XMLTV file, run by hand:
#   bash tests/bench/xmltv_load.sh [build dir] [weeks]
# Builds a file of about 9 MB per week from the sample listings (default 11
# weeks, about 100 MB), then loads it and prints the server's own timing.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
weeks=${2:-11}
epgd=$build/server/tvguide-epgd
work=$(mktemp -d /tmp/epgd-xmltv.XXXXXX)
trap 'rm -rf "$work"' EXIT

big=$work/big.xml
for ((w = 0; w < weeks; w++)); do
  day=$(date -d "2026-01-07 + $((7 * w)) days" +%F)
  "$epgd" --now "${day}T12:00:00" --write-sample-xmltv "$work/w$w.xml" 2>/dev/null
done
{
  sed -n '1,/<programme/p' "$work/w0.xml" | sed '$d'  # declaration, <tv>, channels
  for ((w = 0; w < weeks; w++)); do
    sed -n '/<programme/,/<\/programme>/p' "$work/w$w.xml"
  done
  echo '</tv>'
} > "$big"
rm -f "$work"/w*.xml
echo "file: $(du -m "$big" | cut -f1) MB, $(grep -c '<programme' "$big") programmes"
/usr/bin/time -f "total: %e s wall, %M KB peak memory" \
  "$epgd" --xmltv "$big" --now 2026-01-07T12:00:00 --export "$work/out" 2>&1 | grep -v 'wrote'

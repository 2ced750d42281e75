#!/usr/bin/env bash
# How fast tvguide-epgd reads a big XMLTV source and what memory it takes,
# run by hand:
#   bash tests/bench/xmltv_load.sh [build dir] [weeks | aggregated]
# Builds a file of about 9 MB per week from the sample listings (default 11
# weeks, about 100 MB), or with "aggregated" a feed shaped like the big
# public aggregations (about 40 MB: 1,500 channels, every one of 750 under
# a number and a prefixed id with the same name, the twin empty or serving
# some days; 200,000 programmes), and its gzip twin, then for the plain
# file, the gzip file and the gzip file over HTTP (a local python3
# http.server): starts the server, prints its load time and peak memory
# (VmHWM) once serving, then sends SIGHUP (everything read again while the
# old listings are served) and prints the reload time and its own peak (old
# and new listings both alive), also as a multiple of the uncompressed file.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
weeks=${2:-11}
epgd=$build/server/tvguide-epgd
work=$(mktemp -d /tmp/epgd-xmltv.XXXXXX)
server_pid=
http_pid=
cleanup() {
  [[ -n $server_pid ]] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  [[ -n $http_pid ]] && kill "$http_pid" 2>/dev/null && { wait "$http_pid" 2>/dev/null || true; }
  rm -rf "$work"
}
trap cleanup EXIT

big=$work/big.xml
if [[ $weeks == aggregated ]]; then
  python3 "$root/tests/bench/aggregated_xmltv.py" "$big"
else
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
fi
gzip -c "$big" > "$work/big.bin"  # gzip under a name that does not say so
size=$(stat -c %s "$big")
echo "file: $((size / 1000000)) MB, $(grep -c '<programme' "$big") programmes;" \
  "gzip $(($(stat -c %s "$work/big.bin") / 1000000)) MB"

# Port 0: the file server takes a free port and names it on its first line.
(cd "$work" && exec python3 -u -m http.server 0 --bind 127.0.0.1 >"$work/http.out" 2>/dev/null) &
http_pid=$!
port=
for ((i = 0; i < 100; i++)); do
  port=$(sed -n 's/.* port \([0-9]*\) .*/\1/p' "$work/http.out" 2>/dev/null | head -n 1)
  [[ -n $port ]] && break
  sleep 0.1
done
[[ -n $port ]] || { echo "xmltv_load: the file server did not start" >&2; exit 1; }

hwm() { awk '/VmHWM/ {print $2}' "/proc/$1/status"; }
rss() { awk '/VmRSS/ {print $2}' "/proc/$1/status"; }
wait_log() {  # file text
  for ((i = 0; i < 1200; i++)); do
    grep -q "$2" "$1" 2>/dev/null && return 0
    sleep 0.05
  done
  echo "timed out waiting for '$2' in $1" >&2
  cat "$1" >&2
  return 1
}

measure() {  # label source
  local log=$work/log.txt
  rm -rf "$work/state" "$log"
  local t0 t1 t2 t3
  t0=$(date +%s%N)
  "$epgd" --listen 127.0.0.1:0 --xmltv "$2" --refresh 0 --state-dir "$work/state" \
    --now 2026-01-07T12:00:00 2> "$log" &
  server_pid=$!
  wait_log "$log" "serving on"
  # A URL is fetched once the server listens.
  [[ $2 == http* ]] && wait_log "$log" "fetched:"
  t1=$(date +%s%N)
  sleep 2  # the week's pages are rendered after the listings are logged
  local loaded serving
  loaded=$(hwm "$server_pid")
  serving=$(rss "$server_pid")
  echo 5 > "/proc/$server_pid/clear_refs"  # the peak from here on
  t2=$(date +%s%N)
  kill -HUP "$server_pid"
  wait_log "$log" "reloaded"
  t3=$(date +%s%N)
  sleep 2  # the new pages are rendered after the reload is logged
  local peak
  peak=$(hwm "$server_pid")
  printf '%-10s load %5d ms, peak %4d MB, then %4d MB | reload while serving: %5d ms, peak %4d MB = %.2fx the file\n' \
    "$1" $(((t1 - t0) / 1000000)) $((loaded / 1024)) $((serving / 1024)) \
    $(((t3 - t2) / 1000000)) $((peak / 1024)) "$(echo "$peak * 1024 / $size" | bc -l)"
  kill "$server_pid"
  wait "$server_pid" 2>/dev/null || true
  server_pid=
}

measure plain "$big"
measure gzip "$work/big.bin"
measure "gzip, HTTP" "http://127.0.0.1:$port/big.bin"

#!/usr/bin/env bash
# How soon the guide's built-in EPG server answers and the guide asks for its
# first day page, run by hand:
#   bash tests/bench/startup.sh [build dir] [runs]
# For the sample listings, for an XMLTV file of the sample week (--xmltv)
# and for tvguide-epgd on its own: starts the program on the offscreen
# platform with a fresh home, polls a Monday page of the first catalogue
# group (and then of a later one) every 5 ms and prints when it first
# answered 200. For the guide it then runs again under strace and prints
# when the guide asked for the banner and for the day its list shows.
# Port 8610 must be free.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
runs=${2:-5}
guide=$build/app/tvguide
epgd=$build/server/tvguide-epgd
page=http://127.0.0.1:8610/soft/down/a1.html
day=http://127.0.0.1:8610/programys/TV_1/Channel_1/W1.htm
later=http://127.0.0.1:8610/programjw/TV_4/Channel_25/W1.htm
work=$(mktemp -d /tmp/tvguide-startup.XXXXXX)
pid=
cleanup() {
  [[ -n $pid ]] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work

if curl -s -o /dev/null --max-time 1 "$page"; then
  echo "startup: something already answers on port 8610" >&2
  exit 1
fi
"$epgd" --write-sample-xmltv "$work/sample.xml" >/dev/null 2>&1
now() { date +%s.%N; }

# Seconds from start to the first 200 of the page $url.
first_answer() {
  local start home=$work/home.$RANDOM
  mkdir -p "$home"
  start=$(now)
  HOME=$home XDG_STATE_HOME=$home/state "$@" >/dev/null 2>&1 &
  pid=$!
  until [[ $(curl -s -o /dev/null -w '%{http_code}' --max-time 1 "$url" || true) == 200 ]]; do
    sleep 0.005
  done
  echo "$(now) - $start" | bc
  kill "$pid"; wait "$pid" 2>/dev/null || true; pid=
  while curl -s -o /dev/null --max-time 1 "$page"; do sleep 0.05; done
}

median() { sort -n | awk '{a[NR]=$1} END {printf "%.3f s (of %d: %.3f .. %.3f)\n", a[int((NR+1)/2)], NR, a[1], a[NR]}'; }

for kind in samples xmltv epgd; do
  case $kind in
    samples) cmd=("$guide") ;;
    xmltv) cmd=("$guide" --xmltv "$work/sample.xml") ;;
    epgd) cmd=("$epgd" --xmltv "$work/sample.xml") ;;
  esac
  url=$day
  printf '%-8s first group'"'"'s day page answered after ' "$kind"
  for _ in $(seq "$runs"); do first_answer "${cmd[@]}"; done | median
  url=$later
  printf '%-8s a later group'"'"'s day page answered after ' "$kind"
  for _ in $(seq "$runs"); do first_answer "${cmd[@]}"; done | median
done

# When the guide itself asks for pages, from its exec (strace stops it only
# at the traced calls): the banner, and the first channel's pages; the last
# of those is the day the list shows at start-up (the one before it, day 7,
# is followed by the guide's own half-second pause), and the list is filled
# a few milliseconds after it is asked for.
if command -v strace >/dev/null; then
  for kind in samples xmltv; do
    cmd=("$guide")
    [[ $kind == xmltv ]] && cmd+=(--xmltv "$work/sample.xml")
    for _ in $(seq "$runs"); do
      home=$work/strace-home.$RANDOM
      mkdir -p "$home"
      HOME=$home XDG_STATE_HOME=$home/state timeout 4 strace --seccomp-bpf -f -ttt -s 80 \
        -e trace=execve,sendto -o "$work/trace" "${cmd[@]}" >/dev/null 2>&1 || true
      awk '/execve\(/ && !t0 {t0=$2}
           /"GET \/soft\/down\/a1.html/ && !banner {banner=$2 - t0}
           /"GET \/programys\/TV_1\/Channel_1\/W/ {list=$2 - t0}
           END {printf "%.3f %.3f\n", banner, list}' "$work/trace"
    done | sort -k2 -n | awk -v kind="$kind" '{b[NR]=$1; l[NR]=$2}
      END {m=int((NR+1)/2); printf "%-8s guide asks for the banner at %.3f s, for the day it lists at %.3f s (median of %d)\n", kind, b[m], l[m], NR}'
  done
else
  echo "(strace not installed: the guide's own requests are not timed)"
fi

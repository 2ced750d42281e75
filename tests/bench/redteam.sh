#!/usr/bin/env bash
# The red-team figures, run by hand (not part of the test command):
#   bash tests/bench/redteam.sh [build dir] [check ...]
# Each check starts its own tvguide-epgd on 127.0.0.1, attacks it and prints
# what it measured, ending in a `RESULT <check> key=value ...` line; with no
# check named, all run. EPGD=path runs the checks against another server
# binary (an older build, say), THREADS its --threads (default 2).
#
#   lockout   1,100 connections (ATTACKERS) each pipeline 400 GETs of a day
#             page (PIPELINE) and never read, reconnecting whenever dropped,
#             while 5 honest clients fetch pages for 30 s (SECONDS_):
#             honest success, p50/p99, the server's VmRSS/VmHWM, kernel
#             TCP buffers
#
# A new check is a function check_<name> and its name in `checks` below.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$root/build
if [[ $# -gt 0 && -d $1 ]]; then
  build=$(cd "$1" && pwd)
  shift
fi
epgd=${EPGD:-$build/server/tvguide-epgd}
threads=${THREADS:-2}
now=2026-12-09T20:15:00
checks=(lockout)
[[ $# -gt 0 ]] && checks=("$@")
[[ -x $epgd ]] || { echo "redteam: build tvguide-epgd first ($epgd)" >&2; exit 1; }

# Room for a thousand connections on each side.
hard=$(ulimit -Hn)
want=16384
[[ $hard != unlimited && $hard -lt $want ]] && want=$hard
ulimit -n "$want"

work=$(mktemp -d /tmp/epgd-redteam.XXXXXX)
server_pid=
cleanup() {
  [[ -n $server_pid ]] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Starts tvguide-epgd on a free port with the sample listings; sets
# server_pid and port.
start_server() {
  port=$((20000 + RANDOM % 20000))
  "$epgd" --now "$now" --threads "$threads" --listen "127.0.0.1:$port" "$@" 2>"$work/epgd.log" &
  server_pid=$!
  for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && return 0
    sleep 0.1
  done
  echo "redteam: the server did not come up:" >&2
  cat "$work/epgd.log" >&2
  exit 1
}

stop_server() {
  kill "$server_pid" 2>/dev/null || true
  wait "$server_pid" 2>/dev/null || true
  server_pid=
}

need() {
  [[ -x $1 ]] || { echo "redteam: build $(basename "$1") first ($1)" >&2; exit 1; }
}

check_lockout() {
  local attack=$build/tests/bench/lockout_attack
  need "$attack"
  start_server
  echo "== lockout: $epgd, --threads $threads"
  "$attack" --port "$port" --pid "$server_pid" --attackers "${ATTACKERS:-1100}" \
    --pipeline "${PIPELINE:-400}" --seconds "${SECONDS_:-30}" --honest 5
  stop_server
}

for c in "${checks[@]}"; do
  declare -F "check_$c" >/dev/null || { echo "redteam: no check named $c" >&2; exit 2; }
  "check_$c"
done

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
#   notxmltv  a reload from a saved HTML error page (not <tv>) and from a
#             document with no programme: what the log says, and whether
#             the day page still shows its titles
#   endless   --xmltv and --map on /dev/zero, a FIFO and a 1 GB sparse
#             file: exit status, seconds to the refusal, peak RSS
#   term      SIGTERM while a reload of a never-answering URL hangs, and
#             after a storm of 200 SIGHUPs: seconds to exit
#   monster   a 20M-character title: start-up peak RSS, the page's size,
#             and the slowest of 20 requests for other pages made while
#             the monster's page is fetched
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
checks=(lockout notxmltv endless term monster)
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

# An XMLTV file with one programme per title given, 20:00 onwards on the
# day of $now, on the first CCTV channel (catalogue path as channel id).
write_xmltv() {
  local file=$1
  shift
  {
    echo '<?xml version="1.0" encoding="UTF-8"?>'
    echo '<tv><channel id="programys/TV_1/Channel_1/"><display-name>CCTV-1</display-name></channel>'
    local h=20
    for title in "$@"; do
      printf '<programme channel="programys/TV_1/Channel_1/" start="20261209%02d0000 +0800"><title>%s</title></programme>\n' "$h" "$title"
      h=$((h + 1))
    done
    echo '</tv>'
  } >"$file"
}

day_page() { curl -s --max-time 10 "http://127.0.0.1:$port/programys/TV_1/Channel_1/W3.htm"; }

# Waits (up to 10 s) until the server's log has a line matching $1 after
# its first $2 lines.
wait_log() {
  for _ in $(seq 100); do
    tail -n "+$((${2:-0} + 1))" "$work/epgd.log" | grep -q "$1" && return 0
    sleep 0.1
  done
  return 1
}

vm() { awk -v k="$2:" '$1 == k { print $2 " kB" }' "/proc/$1/status"; }

check_notxmltv() {
  echo "== notxmltv: a reload must not wipe the listings"
  write_xmltv "$work/src.xml" FirstTitle SecondTitle
  start_server --xmltv "$work/src.xml" --refresh 0
  local kinds=("html" "empty")
  printf '<html><body><h1>502 Bad Gateway</h1></body></html>\n' >"$work/html.xml"
  printf '<?xml version="1.0"?>\n<tv></tv>\n' >"$work/empty.xml"
  for k in "${kinds[@]}"; do
    local seen
    seen=$(wc -l <"$work/epgd.log")
    cp "$work/$k.xml" "$work/src.xml"
    kill -HUP "$server_pid"
    wait_log "failed\|keeping" "$seen" || true
    local kept=no
    day_page | grep -q FirstTitle && kept=yes
    echo "  $k: log: $(tail -n 1 "$work/epgd.log")"
    echo "RESULT notxmltv source=$k titles_kept=$kept"
  done
  stop_server
  echo "  at start-up:"
  local status=0
  "$epgd" --now "$now" --listen 127.0.0.1:0 --xmltv "$work/html.xml" 2>"$work/start.log" &
  local pid=$!
  sleep 2
  if kill -0 "$pid" 2>/dev/null; then
    kill "$pid"
    wait "$pid" || true
    status=running
  else
    wait "$pid" || status=$?
  fi
  echo "  $(head -n 1 "$work/start.log")"
  echo "RESULT notxmltv start=html exit=$status"
}

check_endless() {
  echo "== endless: inputs without end or beyond the cap"
  mkfifo "$work/fifo"
  truncate -s 1G "$work/sparse.xml"
  local what
  for what in "--xmltv /dev/zero" "--map /dev/zero" "--xmltv $work/fifo" "--xmltv $work/sparse.xml"; do
    local args=()
    read -r -a args <<<"$what"
    [[ ${args[0]} == --map ]] && args=(--xmltv "$work/sparse-free.xml" "${args[@]}")
    write_xmltv "$work/sparse-free.xml" Title
    local status=0
    /usr/bin/time -f "%e %M" -o "$work/time" timeout 60 "$epgd" --now "$now" \
      --listen 127.0.0.1:0 "${args[@]}" 2>"$work/endless.log" >/dev/null || status=$?
    read -r secs kb < <(tail -n 1 "$work/time") || true
    echo "  $what: $(grep -v '^Command' "$work/endless.log" | head -n 1)"
    echo "RESULT endless input=\"$what\" exit=$status seconds=${secs:-?} peak_rss_kb=${kb:-?}"
  done
}

check_term() {
  echo "== term: SIGTERM ends the server at once"
  # A listener that answers its first request with the source and then
  # accepts and never answers.
  write_xmltv "$work/src.xml" Title
  python3 -c 'import socket,sys
body=open(sys.argv[1],"rb").read()
s=socket.socket(); s.bind(("127.0.0.1",0)); s.listen(64)
print(s.getsockname()[1], flush=True)
c,_=s.accept(); c.recv(65536)
c.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\nConnection: close\r\n\r\n" % len(body) + body); c.close()
conns=[]
while True: conns.append(s.accept())' "$work/src.xml" >"$work/silent.port" &
  local silent=$!
  for _ in $(seq 50); do [[ -s $work/silent.port ]] && break; sleep 0.1; done
  local sport
  sport=$(head -n 1 "$work/silent.port")
  local case
  for case in hanging storm; do
    if [[ $case == hanging ]]; then
      start_server --xmltv "http://127.0.0.1:$sport/e.xml" --state-dir "$work/state" \
        --refresh 0
      kill -HUP "$server_pid"
      sleep 1
    else
      start_server --xmltv "$work/src.xml" --refresh 0
      for _ in $(seq 200); do kill -HUP "$server_pid"; done
    fi
    local t0 t1
    t0=$(date +%s.%N)
    kill -TERM "$server_pid"
    wait "$server_pid" 2>/dev/null || true
    t1=$(date +%s.%N)
    server_pid=
    echo "RESULT term case=$case seconds_to_exit=$(echo "$t1 - $t0" | bc)"
  done
  kill "$silent" 2>/dev/null || true
}

check_monster() {
  echo "== monster: a 20M-character title"
  local big
  big=$(head -c 20000000 /dev/zero | tr '\0' 'A')
  write_xmltv "$work/src.xml" Before "$big" After
  unset big
  local t0 t1
  t0=$(date +%s.%N)
  start_server --xmltv "$work/src.xml" --refresh 0
  wait_log "serving on" || true
  t1=$(date +%s.%N)
  echo "  up in $(echo "$t1 - $t0" | bc) s, VmRSS $(vm "$server_pid" VmRSS), VmHWM $(vm "$server_pid" VmHWM)"
  echo "  log: $(grep -i 'cut\|title' "$work/epgd.log" | head -n 2 | tr '\n' ' ')"
  local size
  size=$(day_page | wc -c)
  # Other clients while the monster's page is fetched again and again.
  (for _ in $(seq 5); do day_page >/dev/null; done) &
  local bulk=$!
  local slowest=0 i
  for i in $(seq 20); do
    local ch=$((3 + i % 5))
    local t
    t=$(curl -s -o /dev/null -w '%{time_total}' --max-time 30 \
      "http://127.0.0.1:$port/programys/TV_1/Channel_$ch/W3.htm")
    slowest=$(echo "if ($t > $slowest) $t else $slowest" | bc)
  done
  wait "$bulk"
  echo "RESULT monster page_bytes=$size slowest_other_s=$slowest rss=\"$(vm "$server_pid" VmRSS)\" hwm=\"$(vm "$server_pid" VmHWM)\""
  stop_server
}

for c in "${checks[@]}"; do
  declare -F "check_$c" >/dev/null || { echo "redteam: no check named $c" >&2; exit 2; }
  "check_$c"
done

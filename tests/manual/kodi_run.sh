#!/usr/bin/env bash
# A real Kodi with the IPTV Simple PVR client against tvguide-epgd: how many
# entries of each fixture playlist get a guide, and whether any gets another
# channel's. Run by hand, never by CI:
#
#   bash tests/manual/kodi_run.sh BUILD_DIR [PLAYLIST...]
#
# BUILD_DIR holds server/tvguide-epgd (ninja -C BUILD_DIR tvguide-epgd is
# enough). PLAYLIST names files of tests/server/fixtures/playlists (default:
# all of them); every one is run against each fixture feed.
#
# Needs: root (for `unshare --net`), Debian 12's kodi and kodi-pvr-iptvsimple
# (Kodi 20, IPTV Simple 20.6), xvfb, python3, iproute2. Everything runs in a
# network namespace of its own with only lo up, so nothing is fetched and
# the ports cannot clash with anything else on the machine.
# Takes about 20 s a run, 36 runs for the three playlists: some 12 minutes
# on two shared cores (Kodi draws its window in software under Xvfb).
#
# For each playlist and feed, four runs, each with a fresh Kodi profile
# (so no EPG database or add-on cache carries over):
#   ours      IPTV Simple reads http://127.0.0.1:PORT/playlist.m3u and
#             /epg.xml.gz from tvguide-epgd, which was given the playlist
#             and the feed;
#   as-is     the playlist file as it is, /epg.xml.gz from the server;
#   feed      the playlist as it is, the fixture feed as its guide file;
#   feed+stop the same with a stop time on every programme (each the next
#             programme's start, the channel's last an hour long): IPTV
#             Simple drops a programme without one, and the fixtures have
#             none, so "feed" shows what the player does with them and
#             "feed+stop" how its matching does.
# The feeds are copied with their dates moved by whole days so that their
# first day is yesterday (no move while the fixtures' week is current), as
# Kodi shows only a few days around today.
#
# Counted, from Kodi's JSON-RPC (TCP, port 9090): the playlist's entries,
# the channels Kodi made, those with any programme in Kodi's guide, those
# whose every programme is their own channel's ("right") and those showing
# a programme of another channel ("wrong"). Every fixture title starts with
# its channel's code ("CCTV5PLUS/cctv5plus 12-07 06:00 ..."); which channel
# each entry really is comes from the tables of
# tests/server/site/playlist_kodi_test.cpp, so the two always agree.
# Kodi's and the server's logs, the served playlists and the
# --print-playlist-map of every pair stay in $KODI_RUN_DIR (default
# /tmp/kodi-run) for a closer look.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:?usage: kodi_run.sh BUILD_DIR [PLAYLIST...]}
build=$(cd "$build" && pwd)
shift
work=${KODI_RUN_DIR:-/tmp/kodi-run}
kodi_bin=/usr/lib/x86_64-linux-gnu/kodi/kodi.bin
fixtures=$root/tests/server/fixtures

if [[ -z ${KODI_RUN_INSIDE:-} ]]; then
  for need in "$kodi_bin" /usr/share/kodi/addons/pvr.iptvsimple/addon.xml \
    "$build/server/tvguide-epgd"; do
    [[ -e $need ]] || { echo "kodi_run: $need is missing" >&2; exit 1; }
  done
  for cmd in Xvfb python3 unshare ip; do
    command -v "$cmd" >/dev/null || { echo "kodi_run: $cmd is missing" >&2; exit 1; }
  done
  rm -rf "$work" && mkdir -p "$work"
  exec env KODI_RUN_INSIDE=1 unshare --net bash "$0" "$build" "$@"
fi

ip link set lo up
playlists=("$@")
[[ ${#playlists[@]} -gt 0 ]] || playlists=(named_ids.m3u numbered.m3u english.m3u)
feeds=(aggregated.xml cntv.xml multiname.xml)
port=18610
xvfb_pid='' kodi_pid='' server_pid=''

# shellcheck disable=SC2317  # run by the trap
stop_all() {
  for pid in $kodi_pid $server_pid $xvfb_pid; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap stop_all EXIT

# The feeds as Kodi will see them: dates moved, and a copy with stop times.
python3 - "$fixtures" "$work/feeds" "${feeds[@]}" <<'PY'
import datetime as dt, os, re, sys
src, out, names = sys.argv[1], sys.argv[2], sys.argv[3:]
os.makedirs(out, exist_ok=True)
start_re = re.compile(r'start="(\d{14}) ([+-]\d{4})"')
for name in names:
    text = open(os.path.join(src, name), encoding="utf-8").read()
    first = min(m.group(1)[:8] for m in start_re.finditer(text))
    yesterday = dt.date.today() - dt.timedelta(days=1)
    move = yesterday - dt.datetime.strptime(first, "%Y%m%d").date()
    fmt = "%Y%m%d%H%M%S"
    def moved(m):
        t = dt.datetime.strptime(m.group(1), fmt) + move
        return f'start="{t.strftime(fmt)} {m.group(2)}"'
    text = start_re.sub(moved, text)
    open(os.path.join(out, name), "w", encoding="utf-8").write(text)
    # Each programme stops where the channel's next one starts. The offsets
    # of one feed are all alike, so the wall times order the programmes.
    prog_re = re.compile(r'<programme start="(\d{14}) ([+-]\d{4})" channel="([^"]*)"')
    starts = {}
    for m in prog_re.finditer(text):
        starts.setdefault(m.group(3), []).append(m.group(1))
    following = {}
    for channel, times in starts.items():
        times = sorted(set(times))
        for a, b in zip(times, times[1:] + [None]):
            if b is None:
                b = (dt.datetime.strptime(a, fmt) + dt.timedelta(hours=1)).strftime(fmt)
            following[(channel, a)] = b
    def with_stop(m):
        stop = following[(m.group(3), m.group(1))]
        return (f'<programme start="{m.group(1)} {m.group(2)}" '
                f'stop="{stop} {m.group(2)}" channel="{m.group(3)}"')
    base = name.rsplit(".", 1)[0]
    open(os.path.join(out, base + ".stop.xml"), "w", encoding="utf-8").write(
        prog_re.sub(with_stop, text))
    print(f"{name}: dates moved by {move.days} days")
PY

# The feed's times are Beijing's wall clock although written as +0000.
server_source() {
  case $1 in
    multiname.xml) echo "$work/feeds/$1#tz=Asia/Shanghai" ;;
    *) echo "$work/feeds/$1" ;;
  esac
}

Xvfb :73 -screen 0 640x480x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
sleep 1

# JSON-RPC over Kodi's TCP socket, which also pushes notifications that are
# skipped here. Prints one line per channel: number, name, programmes,
# codes of the titles shown.
collect() {
  python3 - "$1" <<'PY'
import json, socket, sys, time

class Rpc:
    def __init__(self):
        self.sock = socket.create_connection(("127.0.0.1", 9090), timeout=30)
        self.buf, self.n = "", 0

    def call(self, method, **params):
        self.n += 1
        self.sock.sendall(json.dumps({"jsonrpc": "2.0", "id": self.n,
                                      "method": method, "params": params}).encode())
        decoder = json.JSONDecoder()
        while True:
            self.buf = self.buf.lstrip()
            try:
                obj, end = decoder.raw_decode(self.buf)
            except ValueError:
                chunk = self.sock.recv(1 << 20)
                if not chunk:
                    raise RuntimeError("Kodi closed the connection")
                self.buf += chunk.decode("utf-8", "replace")
                continue
            self.buf = self.buf[end:]
            if obj.get("id") == self.n:
                if "error" in obj:
                    raise RuntimeError(f"{method}: {obj['error']}")
                return obj["result"]

deadline = time.time() + 90
while True:
    try:
        rpc = Rpc()
        rpc.call("JSONRPC.Ping")
        break
    except OSError:
        if time.time() > deadline:
            sys.exit("kodi_run: Kodi's JSON-RPC did not come up")
        time.sleep(1)
# Add-ons a package installed are found disabled.
rpc.call("Addons.SetAddonEnabled", addonid="pvr.iptvsimple", enabled=True)

def snapshot():
    try:
        got = rpc.call("PVR.GetChannels", channelgroupid="alltv",
                       properties=["channelnumber"])
    except RuntimeError:  # no PVR client running yet
        return None
    rows = []
    for ch in got.get("channels", []):
        b = rpc.call("PVR.GetBroadcasts", channelid=ch["channelid"], properties=["title"])
        codes = sorted({x["title"].split("/")[0] for x in b.get("broadcasts", [])})
        rows.append((ch["channelnumber"], ch["label"], len(b.get("broadcasts", [])), codes))
    return rows

# Loaded when the same channels and programme counts come back three times
# in a row, with channels there, the add-on's EPG read logged and 8 s gone.
log = sys.argv[1]
start, last, same = time.time(), None, 0
while time.time() - start < 120:
    time.sleep(2)
    rows = snapshot()
    text = open(log, errors="replace").read()
    # When no channel of the guide is one of the playlist's, the add-on
    # says so and never logs the guide as loaded.
    loaded = "LoadEPG - EPG Loaded" in text or "EPG channels not found" in text
    if rows and loaded and rows == last:
        same += 1
    else:
        same = 0
    last = rows
    if same >= 2 and time.time() - start > 8:
        break
else:
    print("kodi_run: the guide did not settle in 120 s; counting what there is",
          file=sys.stderr)
for number, label, count, codes in last or []:
    print(f"{number}\t{label}\t{count}\t{','.join(codes)}")
try:
    rpc.call("Application.Quit")
except (RuntimeError, OSError):
    pass
PY
}

# One Kodi run: $1 run name, $2 playlist (path or URL), $3 guide (path or URL).
run_kodi() {
  local name=$1 m3u=$2 epg=$3 home=$work/$1/home type=0
  [[ $m3u == http* ]] && type=1
  local data=$home/.kodi/userdata/addon_data/pvr.iptvsimple
  mkdir -p "$data"
  local m3u_key=m3uPath epg_key=epgPath
  [[ $type == 1 ]] && m3u_key=m3uUrl epg_key=epgUrl
  cat >"$data/settings.xml" <<EOF
<settings version="2">
    <setting id="m3uPathType">$type</setting>
    <setting id="$m3u_key">$m3u</setting>
    <setting id="m3uCache">false</setting>
    <setting id="startNum">1</setting>
    <setting id="numberByOrder">true</setting>
    <setting id="m3uRefreshMode">0</setting>
    <setting id="epgPathType">$type</setting>
    <setting id="$epg_key">$epg</setting>
    <setting id="epgCache">false</setting>
    <setting id="epgTimeShift">0</setting>
    <setting id="epgTSOverride">false</setting>
    <setting id="catchupEnabled">false</setting>
</settings>
EOF
  HOME=$home DISPLAY=:73 "$kodi_bin" --windowing=x11 >"$work/$name/kodi.out" 2>&1 &
  kodi_pid=$!
  local log=$home/.kodi/temp/kodi.log
  for _ in $(seq 60); do [[ -f $log ]] && break; sleep 1; done
  [[ -f $log ]] || { echo "kodi_run: Kodi did not start, see $work/$name/kodi.out" >&2; exit 1; }
  collect "$log" >"$work/$name/channels.tsv"
  for _ in $(seq 20); do kill -0 "$kodi_pid" 2>/dev/null || break; sleep 1; done
  kill -9 "$kodi_pid" 2>/dev/null || true
  wait "$kodi_pid" 2>/dev/null || true
  kodi_pid=''
  cp "$log" "$work/$name/kodi.log"
  rm -rf "$home"
}

# Which channel each entry really is, as title codes: the test's tables of
# real channels per entry and per feed channel, and each feed channel's code
# from its titles. Writes truth/PLAYLIST: one line per entry, its code or
# "-" when no fixture feed carries it.
python3 - "$root/tests/server/site/playlist_kodi_test.cpp" "$fixtures" "$work/truth" <<'PY'
import os, re, sys
test, fixtures, out = sys.argv[1:]
src = open(test, encoding="utf-8").read()
def joined(literals):
    return "".join(re.findall(r'"((?:[^"\\]|\\.)*)"', literals))
code_of = {}
for feed, body in re.findall(r'\{"(\w+\.xml)", (?:true|false),\s*((?:"[^"]*"\s*)+)\}', src):
    text = open(os.path.join(fixtures, feed), encoding="utf-8").read()
    for item in joined(body).split(";"):
        ids, label = item.strip().split("=")
        for feed_id in ids.split():
            m = re.search(r'channel="%s">\s*<title[^>]*>([^/<]+)/' % re.escape(feed_id), text)
            if m:
                code_of[label] = m.group(1)
styles = re.findall(r'"(\w+\.m3u)",\s*((?:"[^"]*"\s*)+)\}', src)
if len(code_of) < 40 or len(styles) < 3:
    sys.exit("kodi_run: the tables of playlist_kodi_test.cpp were not found")
os.makedirs(out, exist_ok=True)
for playlist, body in styles:
    with open(os.path.join(out, playlist), "w", encoding="utf-8") as f:
        for label in joined(body).split("|"):
            f.write(code_of.get(label.strip(), "-") + "\n")
PY

# Counts one run's channels.tsv against the truth, by channel number (the
# entry's place in the playlist: numberByOrder). Prints
# "channels guided right wrong" and lists the wrong ones in wrong.txt.
count() {
  python3 - "$work/truth/$2" "$work/$1/channels.tsv" "$work/$1/wrong.txt" <<'PY'
import sys
truth = [l.strip() for l in open(sys.argv[1], encoding="utf-8")]
rows = [l.rstrip("\n").split("\t") for l in open(sys.argv[2], encoding="utf-8") if l.strip()]
guided = right = wrong = 0
with open(sys.argv[3], "w", encoding="utf-8") as out:
    for number, label, programmes, codes in rows:
        if int(programmes) == 0:
            continue
        guided += 1
        want = truth[int(number) - 1]
        shown = set(codes.split(",")) if codes else set()
        if shown == {want}:
            right += 1
        else:
            wrong += 1
            out.write(f"{number} {label}: shows {','.join(sorted(shown))}, is {want}\n")
print(len(rows), guided, right, wrong)
PY
}

table=$work/table.txt
printf '%-14s %-14s %-9s %7s %8s %6s %5s %5s\n' playlist feed guide entries channels guided right wrong >"$table"
for playlist in "${playlists[@]}"; do
  entries=$(grep -c '^#EXTINF' "$fixtures/playlists/$playlist")
  for feed in "${feeds[@]}"; do
    pair=${playlist%.m3u}-${feed%.xml}
    echo "$pair $playlist" >>"$work/pairs"
    # Through the server.
    mkdir -p "$work/$pair-ours"
    "$build/server/tvguide-epgd" --xmltv "$(server_source "$feed")" \
      --playlist "$fixtures/playlists/$playlist" --print-playlist-map \
      --state-dir "$work/$pair-ours/state" >"$work/$pair-ours/playlist-map.txt" 2>&1
    "$build/server/tvguide-epgd" --xmltv "$(server_source "$feed")" \
      --playlist "$fixtures/playlists/$playlist" --listen "127.0.0.1:$port" \
      --state-dir "$work/$pair-ours/state" >"$work/$pair-ours/server.log" 2>&1 &
    server_pid=$!
    for _ in $(seq 50); do
      curl -sf "http://127.0.0.1:$port/healthz" >/dev/null 2>&1 && break
      sleep 0.2
    done
    curl -s "http://127.0.0.1:$port/playlist.m3u" >"$work/$pair-ours/playlist.m3u"
    run_kodi "$pair-ours" "http://127.0.0.1:$port/playlist.m3u" \
      "http://127.0.0.1:$port/epg.xml.gz"
    # The household's playlist left as it is, only the guide from us.
    mkdir -p "$work/$pair-as-is"
    run_kodi "$pair-as-is" "$fixtures/playlists/$playlist" \
      "http://127.0.0.1:$port/epg.xml.gz"
    kill "$server_pid"
    wait "$server_pid" 2>/dev/null || true
    server_pid=''
    for guide in ours as-is; do
      read -r channels guided right wrong < <(count "$pair-$guide" "$playlist")
      printf '%-14s %-14s %-9s %7s %8s %6s %5s %5s\n' "$playlist" "$feed" "$guide" \
        "$entries" "$channels" "$guided" "$right" "$wrong" | tee -a "$table"
    done
    # Straight from the feed, as it is and with stop times.
    for guide in feed feed+stop; do
      file=$work/feeds/$feed
      [[ $guide == feed+stop ]] && file=$work/feeds/${feed%.xml}.stop.xml
      run=$pair-${guide/+/-}
      mkdir -p "$work/$run"
      run_kodi "$run" "$fixtures/playlists/$playlist" "$file"
      read -r channels guided right wrong < <(count "$run" "$playlist")
      printf '%-14s %-14s %-9s %7s %8s %6s %5s %5s\n' "$playlist" "$feed" "$guide" \
        "$entries" "$channels" "$guided" "$right" "$wrong" | tee -a "$table"
    done
  done
done
echo
cat "$table"
for f in "$work"/*/wrong.txt; do
  if [[ -s $f ]]; then
    echo
    echo "${f#"$work"/}:"
    cat "$f"
  fi
done
# Entries that the feed alone gave their own guide and that lost it, through
# the server or with only its guide.
python3 - "$work" <<'PY'
import os, sys
work = sys.argv[1]
def right(run, truth):
    out = set()
    for line in open(os.path.join(work, run, "channels.tsv"), encoding="utf-8"):
        number, label, programmes, codes = line.rstrip("\n").split("\t")
        if int(programmes) and codes == truth[int(number) - 1]:
            out.add(f"{number} {label}")
    return out
for line in open(os.path.join(work, "pairs"), encoding="utf-8"):
    pair, playlist = line.split()
    truth = [l.strip() for l in open(os.path.join(work, "truth", playlist), encoding="utf-8")]
    straight = right(pair + "-feed-stop", truth)
    for guide in ("ours", "as-is"):
        lost = sorted(straight - right(f"{pair}-{guide}", truth), key=lambda e: int(e.split()[0]))
        if lost:
            print(f"\n{pair}, {guide}: lost what the feed gave:", *lost, sep="\n  ")
PY

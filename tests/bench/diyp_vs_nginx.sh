#!/usr/bin/env bash
# Load benchmark of the players' DIYP interface, run by hand (not part of the
# test command):
#   [ROUNDS=3] bash tests/bench/diyp_vs_nginx.sh [build dir] [threads] [connections] [seconds]
# tvguide-epgd answering "/?ch=NAME&date=DATE" against nginx serving the very
# same answers as static files (each fetched from tvguide-epgd once, with its
# gzip twin), pinned as tests/bench/epgd_vs_nginx.sh pins the pages:
# keep-alive, the same number of worker threads/processes, open file cache,
# gzip_static. wrk cycles through every catalogue channel (by its name,
# %-escaped as players send it) on every day of the week, first identity,
# then with Accept-Encoding: gzip (what Android players send). Prints
# requests/s and p99 latency of both and their ratio. Only 127.0.0.1 is ever
# contacted.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
threads=${2:-2}
conns=${3:-64}
secs=${4:-10}
also_needed=(python3)
# shellcheck source=tests/bench/nginx_compare.sh
source "$root/tests/bench/nginx_compare.sh"

start_epgd

# Every catalogue channel that has listings, by the first display-name of
# /epg.xml (the catalogue's), on each day of the week: the query as a player
# sends it, and the file nginx answers it from.
curl -s "http://127.0.0.1:$port_a/epg.xml" > "$work/epg.xml"
python3 - "$work" "$now" <<'PY'
import datetime, sys, urllib.parse, xml.etree.ElementTree as ET
work, now = sys.argv[1], sys.argv[2]
monday = datetime.date.fromisoformat(now[:10])
monday -= datetime.timedelta(days=monday.weekday())
names = [c.find("display-name").text for c in ET.parse(work + "/epg.xml").getroot().iter("channel")]
with open(work + "/queries.txt", "w") as out:
    for name in names:
        for d in range(7):
            day = (monday + datetime.timedelta(days=d)).isoformat()
            out.write("ch=%s&date=%s\n" % (urllib.parse.quote(name, safe=""), day))
PY

mkdir -p "$work/www/diyp"
while read -r query; do
  ch=${query%%&*}; ch=${ch#ch=}; date=${query##*date=}
  mkdir -p "$work/www/diyp/$ch"
  curl -sf "http://127.0.0.1:$port_a/?$query" > "$work/www/diyp/$ch/$date.json"
  curl -sf -H 'Accept-Encoding: gzip' "http://127.0.0.1:$port_a/?$query" \
    > "$work/www/diyp/$ch/$date.json.gz"
done < "$work/queries.txt"
write_cycles "$work/queries.txt" "/?"
start_nginx "" 'location = / {
      default_type "application/json; charset=utf-8";
      add_header Cache-Control "public, max-age=300";
      add_header Access-Control-Allow-Origin "*";
      try_files /diyp/$arg_ch/$arg_date.json =404;
    }'
check_same_bytes "/?$(sed -n '700p' "$work/queries.txt")"
compare "answers: $(wc -l < "$work/queries.txt")"

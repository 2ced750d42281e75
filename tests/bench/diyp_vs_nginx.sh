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
epgd=$build/server/tvguide-epgd
now=2026-12-09T20:15:00
for tool in wrk nginx curl python3; do
  command -v $tool >/dev/null || { echo "bench: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
[[ -x $epgd ]] || { echo "bench: build tvguide-epgd first ($epgd)" >&2; exit 1; }

work=$(mktemp -d /tmp/diyp-bench.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

port_a=$((20000 + RANDOM % 20000))
port_b=$((port_a + 1))

"$epgd" --now "$now" --threads "$threads" --listen "127.0.0.1:$port_a" 2>"$work/epgd.log" &
pids+=($!)
for _ in $(seq 50); do
  curl -s -o /dev/null "http://127.0.0.1:$port_a/soft/down/a1.html" && break
  sleep 0.1
done

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
chmod -R a+rX "$work"

for encoding in identity gzip; do
  headers='{}'
  [[ $encoding == gzip ]] && headers='{["Accept-Encoding"] = "gzip"}'
  cat > "$work/cycle-$encoding.lua" <<LUA
local paths = {}
for line in io.lines("$work/queries.txt") do paths[#paths + 1] = "/?" .. line end
local headers = $headers
local i = 0
request = function()
  i = i % #paths + 1
  return wrk.format("GET", paths[i], headers)
end
LUA
done

mkdir -p "$work/nginx"
cat > "$work/nginx/nginx.conf" <<CONF
worker_processes $threads;
daemon off;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log warn;
events { worker_connections 4096; }
http {
  access_log off;
  sendfile on;
  tcp_nopush on;
  tcp_nodelay on;
  keepalive_requests 1000000;
  open_file_cache max=4096 inactive=60s;
  gzip_static on;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  server {
    listen 127.0.0.1:$port_b;
    root $work/www;
    location = / {
      default_type "application/json; charset=utf-8";
      add_header Cache-Control "public, max-age=300";
      add_header Access-Control-Allow-Origin "*";
      try_files /diyp/\$arg_ch/\$arg_date.json =404;
    }
  }
}
CONF

nginx -c "$work/nginx/nginx.conf" -e "$work/nginx/error.log" &
pids+=($!)
for _ in $(seq 50); do
  curl -s -o /dev/null "http://127.0.0.1:$port_b/" && break
  sleep 0.1
done

# Both must send the same bytes, in both encodings, or the comparison means
# nothing.
probe=$(sed -n '700p' "$work/queries.txt")
for accept in identity gzip; do
  if ! cmp -s <(curl -s -H "Accept-Encoding: $accept" "http://127.0.0.1:$port_a/?$probe") \
              <(curl -s -H "Accept-Encoding: $accept" "http://127.0.0.1:$port_b/?$probe"); then
    echo "bench: tvguide-epgd and nginx send different $accept bytes for ?$probe" >&2
    exit 1
  fi
done
if ! curl -s -D - -o /dev/null -H "Accept-Encoding: gzip" "http://127.0.0.1:$port_b/?$probe" |
    grep -qi '^content-encoding: gzip'; then
  echo "bench: nginx does not send the .gz files (gzip_static)" >&2
  exit 1
fi

# One wrk run against port $1 in encoding $2; prints "requests/s p99-in-ms".
measure() {
  local out rps p99 unit
  out=$(wrk -t "$threads" -c "$conns" -d "${secs}s" --latency -s "$work/cycle-$2.lua" "http://127.0.0.1:$1/")
  rps=$(awk '/^Requests\/sec/ {print $2}' <<<"$out")
  p99=$(awk '$1 == "99%" {print $2}' <<<"$out")
  unit=${p99//[0-9.]/}
  p99=${p99%[a-z]*}; p99=${p99%m}
  case $unit in
    us) p99=$(awk -v v="$p99" 'BEGIN {printf "%.3f", v / 1000}') ;;
    s) p99=$(awk -v v="$p99" 'BEGIN {printf "%.3f", v * 1000}') ;;
  esac
  echo "$rps $p99"
}

# Warm both: tvguide-epgd makes each answer once, nginx fills its caches.
for encoding in identity gzip; do
  for port in $port_a $port_b; do
    wrk -t "$threads" -c "$conns" -d 2s -s "$work/cycle-$encoding.lua" "http://127.0.0.1:$port/" >/dev/null
  done
done

echo "answers: $(wc -l < "$work/queries.txt"), wrk: $threads threads, $conns connections, ${secs}s per run; server threads/workers: $threads"
rounds=${ROUNDS:-3}
for encoding in identity gzip; do
  echo "== $encoding"
  printf '%-6s %-14s %14s %12s\n' round server requests/s p99-ms
  sum_a=0; sum_b=0; p_a=0; p_b=0
  for round in $(seq "$rounds"); do
    read -r ra pa < <(measure $port_a $encoding)
    read -r rb pb < <(measure $port_b $encoding)
    printf '%-6s %-14s %14s %12s\n' "$round" tvguide-epgd "$ra" "$pa" "$round" nginx "$rb" "$pb"
    sum_a=$(awk -v a="$sum_a" -v b="$ra" 'BEGIN {print a + b}')
    sum_b=$(awk -v a="$sum_b" -v b="$rb" 'BEGIN {print a + b}')
    p_a=$(awk -v a="$p_a" -v b="$pa" 'BEGIN {print a + b}')
    p_b=$(awk -v a="$p_b" -v b="$pb" 'BEGIN {print a + b}')
  done
  awk -v n="$rounds" -v a="$sum_a" -v b="$sum_b" -v pa="$p_a" -v pb="$p_b" 'BEGIN {
    printf "mean   tvguide-epgd %14.0f %12.3f\n", a / n, pa / n
    printf "mean   nginx        %14.0f %12.3f\n", b / n, pb / n
    printf "ratio epgd/nginx: requests/s %.2f, p99 latency %.2f\n", a / b, pa / pb
  }'
done

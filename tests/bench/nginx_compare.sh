# What the nginx comparisons share, sourced by epgd_vs_nginx.sh and
# diyp_vs_nginx.sh after they set build, threads, conns, secs and the tools
# they need besides wrk, nginx and curl (also_needed): a work directory and
# two loopback ports, wrk scripts that cycle through a list of
# targets, nginx pinned as the server is (same workers, keep-alive, open
# file cache, gzip_static), the check that both send the same bytes, and the
# rounds with their means and ratios.

epgd=$build/server/tvguide-epgd
now=2026-12-09T20:15:00
for tool in wrk nginx curl "${also_needed[@]}"; do
  command -v "$tool" >/dev/null || { echo "bench: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
[[ -x $epgd ]] || { echo "bench: build tvguide-epgd first ($epgd)" >&2; exit 1; }

work=$(mktemp -d /tmp/nginx-bench.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
port_a=$((20000 + RANDOM % 20000))  # tvguide-epgd
port_b=$((port_a + 1))              # nginx

# Waits until something answers GET $1 on port $2.
await() {
  for _ in $(seq 50); do
    curl -s -o /dev/null "http://127.0.0.1:$2$1" && return
    sleep 0.1
  done
}

start_epgd() {
  "$epgd" --now "$now" --threads "$threads" --listen "127.0.0.1:$port_a" 2>"$work/epgd.log" &
  pids+=($!)
  await /soft/down/a1.html "$port_a"
}

# wrk scripts cycle-identity.lua and cycle-gzip.lua: every line of $1, after
# the prefix $2, as a request target in turn.
write_cycles() {
  local headers
  for encoding in identity gzip; do
    headers='{}'
    [[ $encoding == gzip ]] && headers='{["Accept-Encoding"] = "gzip"}'
    cat > "$work/cycle-$encoding.lua" <<LUA
local paths = {}
for line in io.lines("$1") do paths[#paths + 1] = "$2" .. line end
local headers = $headers
local i = 0
request = function()
  i = i % #paths + 1
  return wrk.format("GET", paths[i], headers)
end
LUA
  done
}

# nginx on port_b serving $work/www; $1 goes into the http block, $2 into
# the server block.
start_nginx() {
  mkdir -p "$work/nginx"
  cat > "$work/nginx/nginx.conf" <<CONF
worker_processes $threads;
daemon off;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log warn;
events { worker_connections 4096; }
http {
  $1
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
    $2
  }
}
CONF
  chmod -R a+rX "$work"
  nginx -c "$work/nginx/nginx.conf" -e "$work/nginx/error.log" &
  pids+=($!)
  await / "$port_b"
}

# Both must send the same bytes for target $1, in both encodings, or the
# comparison means nothing; and nginx must send the .gz files.
check_same_bytes() {
  for accept in identity gzip; do
    if ! cmp -s <(curl -s -H "Accept-Encoding: $accept" "http://127.0.0.1:$port_a$1") \
                <(curl -s -H "Accept-Encoding: $accept" "http://127.0.0.1:$port_b$1"); then
      echo "bench: tvguide-epgd and nginx send different $accept bytes for $1" >&2
      exit 1
    fi
  done
  if ! curl -s -D - -o /dev/null -H "Accept-Encoding: gzip" "http://127.0.0.1:$port_b$1" |
      grep -qi '^content-encoding: gzip'; then
    echo "bench: nginx does not send the .gz files (gzip_static)" >&2
    exit 1
  fi
}

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

# Warms both (tvguide-epgd's caches, nginx's open files), then ROUNDS rounds
# per encoding, alternating the servers; $1 says what is cycled through.
compare() {
  for encoding in identity gzip; do
    for port in $port_a $port_b; do
      wrk -t "$threads" -c "$conns" -d 2s -s "$work/cycle-$encoding.lua" "http://127.0.0.1:$port/" >/dev/null
    done
  done
  echo "$1, wrk: $threads threads, $conns connections, ${secs}s per run; server threads/workers: $threads"
  local rounds=${ROUNDS:-3}
  for encoding in identity gzip; do
    echo "== $encoding"
    printf '%-6s %-14s %14s %12s\n' round server requests/s p99-ms
    local sum_a=0 sum_b=0 p_a=0 p_b=0 ra pa rb pb
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
}

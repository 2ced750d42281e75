#!/usr/bin/env bash
# Load benchmark, run by hand (not part of the test command):
#   [ROUNDS=3] bash tests/bench/epgd_vs_nginx.sh [build dir] [threads] [connections] [seconds]
# tvguide-epgd against nginx serving the --export output of the same listings,
# on this machine, in the same run: keep-alive, the same number of worker
# threads/processes, wrk cycling through every day page. Two sets of rounds:
# identity (requests as the guide sends them) and gzip (Accept-Encoding:
# gzip; nginx sends the exported .gz files with gzip_static). Prints
# requests/s and p99 latency of both and their ratio. Only 127.0.0.1 is ever
# contacted.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
threads=${2:-2}
conns=${3:-64}
secs=${4:-10}
also_needed=()
# shellcheck source=tests/bench/nginx_compare.sh
source "$root/tests/bench/nginx_compare.sh"

"$epgd" --now "$now" --export "$work/www" 2>/dev/null
# Every day page, in catalogue order, for wrk to cycle through.
(cd "$work/www" && find . -name 'W?.htm' | sed 's|^\.||' | sort) > "$work/paths.txt"
write_cycles "$work/paths.txt" ""
start_nginx "include /etc/nginx/mime.types; charset gbk;" ""
start_epgd
check_same_bytes "$(sed -n '100p' "$work/paths.txt")"
compare "pages: $(wc -l < "$work/paths.txt")"

#!/usr/bin/env bash
# Builds the libFuzzer targets in a fuzz tree (clang, AddressSanitizer, UBSan
# and coverage hooks; see build.sh) and runs each for a while (default 20 s;
# FUZZ_SECONDS=60 for a longer look), as many at once as there are cores.
# A crash, leak or sanitizer report fails the run; the input is kept in
# DIR/findings/ to reproduce it (DIR/tests/fuzz/NAME FILE).
#   scripts/fuzz.sh [DIR]        (default: build-fuzz)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-20}
# One per line, so that adding one touches one line.
targets=(
  template_reader_fuzz
  schedule_parse_fuzz
  pe_loader_fuzz
  xmltv_fuzz
  xmltv_bounds_fuzz
  frame_ops_fuzz
  page_copy_fuzz
  body_decoder_fuzz
  last_good_copy_fuzz
  request_fuzz
)
bash "$root/scripts/build.sh" fuzz "$dir" "${targets[@]}" >/dev/null
mkdir -p "$dir/findings"
run() {
  "$dir/tests/fuzz/$1" -seed=1 -max_total_time="$seconds" -artifact_prefix="$dir/findings/$1-" \
    -print_final_stats=1 2>"$dir/findings/$1.log"
}
pids=() names=() failed=()
finish() {  # waits for the oldest run still going
  local name=${names[0]}
  if ! wait "${pids[0]}"; then failed+=("$name"); fi
  echo "fuzz: $name $(grep -E '^stat::number_of_executed_units' "$dir/findings/$name.log" | grep -oE '[0-9]+$' || echo '?') runs"
  pids=("${pids[@]:1}") names=("${names[@]:1}")
}
echo "fuzz: ${#targets[@]} targets, ${seconds}s each, $(nproc) at a time"
for t in "${targets[@]}"; do
  ((${#pids[@]} < $(nproc))) || finish
  run "$t" & pids+=($!) names+=("$t")
done
while ((${#pids[@]})); do finish; done
for t in "${failed[@]}"; do
  echo "fuzz: $t failed:" >&2
  tail -40 "$dir/findings/$t.log" >&2
done
((${#failed[@]} == 0))

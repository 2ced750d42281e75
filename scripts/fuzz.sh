#!/usr/bin/env bash
# Builds the libFuzzer targets with clang under AddressSanitizer and UBSan and
# runs each for a while (default 20 s; FUZZ_SECONDS=60 for a longer look).
# A crash, leak or sanitizer report fails the run; the input is kept in
# build-fuzz/findings/ to reproduce it (./build-fuzz/tests/fuzz/NAME FILE).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$root/build-fuzz
seconds=${FUZZ_SECONDS:-20}
CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTVGUIDE_FUZZ=ON -DTVGUIDE_SANITIZE=ON -DTVGUIDE_QT=OFF >/dev/null
targets=(template_reader_fuzz schedule_parse_fuzz pe_loader_fuzz xmltv_fuzz frame_ops_fuzz)
cmake --build "$dir" -j "$(nproc)" --target "${targets[@]}" >/dev/null
mkdir -p "$dir/findings"
for t in "${targets[@]}"; do
  echo "fuzz: $t for ${seconds}s"
  "$dir/tests/fuzz/$t" -seed=1 -max_total_time="$seconds" -artifact_prefix="$dir/findings/$t-" \
    -print_final_stats=1 2>"$dir/findings/$t.log" || { tail -40 "$dir/findings/$t.log"; exit 1; }
  grep -E '^stat::number_of_executed_units' "$dir/findings/$t.log" || true
done

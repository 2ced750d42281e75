#!/usr/bin/env bash
# Configures and builds one kind of tree.
#   scripts/build.sh KIND DIR [TARGET...]      (no TARGET: everything the tree holds)
# KIND:
#   dev       what a developer runs: RelWithDebInfo, gcc
#   release   the warnings check: Release, gcc; scripts/include_check.py
#             then compiles each source of it alone, so that a source that
#             uses a header it does not include fails
#   sanitize  clang with AddressSanitizer and UBSan (no recovery): the
#             tests, the window's included, run under the sanitizers; no
#             benchmarks
#   fuzz      the same with libFuzzer's coverage hooks in all code and
#             without Qt: the fuzz targets
#   tsan      gcc with ThreadSanitizer, no Qt; give the targets to build
# Every kind but dev makes each warning an error. Ninja; all but dev are
# unity builds (several sources compiled as one: far less parsing of the
# same headers). Extra cmake arguments may come in TVGUIDE_CMAKE_ARGS.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kind=${1:?usage: build.sh dev|release|sanitize|fuzz|tsan DIR [TARGET...]}
dir=${2:?usage: build.sh dev|release|sanitize|fuzz|tsan DIR [TARGET...]}
shift 2
args=()
# A tree keeps the generator it was first made with.
[[ ! -f $dir/CMakeCache.txt ]] && command -v ninja >/dev/null && args+=(-G Ninja)
case $kind in
  dev) args+=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  release) args+=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_UNITY_BUILD=ON
    -DCMAKE_COMPILE_WARNING_AS_ERROR=ON) ;;
  # Line tables only: reports name file and line; full debug info would
  # double the compile time.
  sanitize | fuzz) export CC=clang CXX=clang++
    args+=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_UNITY_BUILD=ON
      -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
      "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -gline-tables-only"
      "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -gline-tables-only"
      -DTVGUIDE_SANITIZE=ON -DTVGUIDE_BENCH=OFF)
    if [[ $kind == fuzz ]]; then
      args+=(-DTVGUIDE_FUZZ=ON -DTVGUIDE_QT=OFF)
    else
      args+=(-DTVGUIDE_FUZZ=OFF -DTVGUIDE_QT=ON)
    fi ;;
  tsan) args+=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_UNITY_BUILD=ON
    -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1" -DTVGUIDE_TSAN=ON -DTVGUIDE_QT=OFF
    -DTVGUIDE_BENCH=OFF) ;;
  *) echo "build: unknown kind $kind (dev, release, sanitize, fuzz, tsan)" >&2; exit 2 ;;
esac
# A tree first made with another compiler is made again: CMake keeps the
# compiler a tree was configured with.
if [[ -f $dir/CMakeCache.txt && -n ${CXX:-} ]] &&
  ! grep -q "^CMAKE_CXX_COMPILER:[A-Z]*=.*$CXX\$" "$dir/CMakeCache.txt"; then
  rm -rf "$dir"
  command -v ninja >/dev/null && args=(-G Ninja "${args[@]}")
fi
# shellcheck disable=SC2206
extra=(${TVGUIDE_CMAKE_ARGS:-})
cmake -S "$root" -B "$dir" "${args[@]}" "${extra[@]}" >/dev/null
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build "$dir" -j "$(nproc)" "${targets[@]}"

#!/bin/sh
# Fuzzes the TGA decoder for a bounded time (FUZZ_TGA_SECONDS, default 60)
# with clang's libFuzzer, ASan and UBSan. Exits non-zero if an input crashes
# it; the input is kept as build-fuzz/tga-crash-* (once fixed, copy it into
# tests/render/regressions/ named reject-*.tga or accept-*.tga by what the
# decoder must then do with it).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${FUZZ_TGA_SECONDS:-60}

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DORVANDEL_FUZZ=ON \
  -DORVANDEL_TESTS=OFF -DORVANDEL_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target orvandel_tga_fuzz orvandel_tga_seeds

seeds="$build/tga-seeds"
corpus="$build/tga-corpus"
mkdir -p "$seeds" "$corpus"
"$build/tests/fuzz/orvandel_tga_seeds" "$seeds"

# The largest buffer a 4 KiB input can justify is well under 1 MiB, so a
# 64 MiB allocation means a size taken on trust.
status=0
"$build/tests/fuzz/orvandel_tga_fuzz" "$corpus" "$seeds" \
  -max_total_time="$seconds" -max_len=4096 -malloc_limit_mb=64 \
  -artifact_prefix="$build/tga-crash-" -print_final_stats=1 || status=$?
if [ "$status" -ne 0 ]; then
  echo "fuzz-tga: the decoder failed on an input (exit $status); see $build/tga-crash-*" >&2
fi
exit "$status"

#!/usr/bin/env bash
# Builds the fuzzer of the MP3 reader and the tag reader with clang (AddressSanitizer,
# UndefinedBehaviorSanitizer and libFuzzer) in build/fuzz and runs it for SECONDS (default
# 600) on one core. It starts from the committed seeds (tests/fuzz/corpus) and past crashes
# (tests/fuzz/regressions) and keeps what it learns in build/fuzz/corpus; a crashing input
# lands in build/fuzz/artifacts/ and ends the run with a non-zero status. Copy such an input
# to tests/fuzz/regressions/ once fixed, so that the tests replay it.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
./setup.sh fuzz
cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DBRASKO_FUZZ=ON -DBRASKO_TESTS=OFF -DBRASKO_BENCH=OFF >/dev/null
cmake --build build/fuzz --target mp3_fuzzer -j2
mkdir -p build/fuzz/corpus build/fuzz/artifacts
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
exec build/fuzz/tests/fuzz/mp3_fuzzer build/fuzz/corpus tests/fuzz/corpus tests/fuzz/regressions \
    -max_total_time="$seconds" -max_len=65536 -timeout=20 -rss_limit_mb=2048 \
    -artifact_prefix=build/fuzz/artifacts/ -print_final_stats=1

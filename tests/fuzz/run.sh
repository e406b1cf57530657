#!/bin/bash
# Builds the libFuzzer targets with clang and runs each for a fixed time on
# its seed corpus. Usage: tests/fuzz/run.sh [seconds per target] [build dir]
set -euo pipefail
seconds=${1:-60}
src=$(cd "$(dirname "$0")/../.." && pwd)
build=${2:-$src/build-fuzz}
CC=clang CXX=clang++ cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALVERO_FUZZ=ON -DKALVERO_LINE_DEBUG_INFO=ON >/dev/null
ninja -C "$build" -j2 $(cd "$src/tests/fuzz" && ls *.cpp | sed 's/^/fuzz_/; s/\.cpp$//')
for target in "$src"/tests/fuzz/*.cpp; do
  name=$(basename "$target" .cpp)
  work=$(mktemp -d)
  echo "fuzz_$name: ${seconds}s"
  "$build/fuzz_$name" -max_total_time="$seconds" -max_len=8192 -rss_limit_mb=2048 -timeout=20 \
    -artifact_prefix="$build/crash-$name-" "$work" "$src/tests/fuzz/corpus/$name" 2>&1 | tail -3
  rm -rf "$work"
done

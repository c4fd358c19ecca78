#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the fuzz targets with clang's libFuzzer and runs each in turn.
#   fuzz/run.sh [seconds]      run them for that long in all (default 60), shared evenly
# Without clang++ or libFuzzer it says so and exits 0. A crash stops the run with a non-zero exit
# and leaves the input as build-fuzz/crash-*: turn it into a row of the target's table test.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
targets=(ini_document_fuzz port_probe_parse_fuzz outside_text_fuzz simulator_frames_fuzz telnet_stream_fuzz)

if ! command -v clang++ >/dev/null; then
  echo "fuzz: clang++ not found, skipped" >&2
  exit 0
fi
generator=(); command -v ninja >/dev/null && generator=(-G Ninja)
cmake -S . -B build-fuzz "${generator[@]}" -DCMAKE_CXX_COMPILER=clang++ -DKIVOCOM_BUILD_FUZZ=ON -DKIVOCOM_WERROR=ON \
  -DKIVOCOM_BUILD_TESTS=OFF -DKIVOCOM_BUILD_BENCH=OFF -DKIVOCOM_BUILD_TOOL=OFF >/dev/null
if ! cmake --build build-fuzz --target help | grep -q ini_document_fuzz; then
  echo "fuzz: libFuzzer not available, skipped" >&2
  exit 0
fi
cmake --build build-fuzz --target "${targets[@]}"

# Each run's corpus grows in the build folder; the seeds in fuzz/corpus* stay as they are.
each=$(( seconds / ${#targets[@]} > 5 ? seconds / ${#targets[@]} : 5 ))
for target in "${targets[@]}"; do
  seeds=fuzz/corpus-${target%_fuzz}
  [ "$target" = ini_document_fuzz ] && seeds=fuzz/corpus
  mkdir -p "build-fuzz/corpus-$target"
  cp "$seeds"/* "build-fuzz/corpus-$target/"
  echo "fuzz: $target for $each s" >&2
  (cd build-fuzz && "./fuzz/$target" -max_total_time="$each" -max_len=4096 -timeout=10 -print_final_stats=1 \
    "corpus-$target")
done

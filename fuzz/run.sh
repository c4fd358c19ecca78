#!/usr/bin/env bash
# Builds the settings-file parser's fuzz target with clang's libFuzzer and runs it.
#   fuzz/run.sh [seconds]      run for that long (default 60)
# Without clang++ or libFuzzer it says so and exits 0. A crash stops the run with a non-zero exit
# and leaves the input as build-fuzz/crash-*: turn it into a row of tests/ini_document_test.cpp.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

if ! command -v clang++ >/dev/null; then
  echo "fuzz: clang++ not found, skipped" >&2
  exit 0
fi
generator=(); command -v ninja >/dev/null && generator=(-G Ninja)
cmake -S . -B build-fuzz "${generator[@]}" -DCMAKE_CXX_COMPILER=clang++ -DKIVOCOM_BUILD_FUZZ=ON \
  -DKIVOCOM_BUILD_TESTS=OFF -DKIVOCOM_BUILD_BENCH=OFF -DKIVOCOM_BUILD_TOOL=OFF >/dev/null
if ! cmake --build build-fuzz --target help | grep -q ini_document_fuzz; then
  echo "fuzz: libFuzzer not available, skipped" >&2
  exit 0
fi
cmake --build build-fuzz --target ini_document_fuzz

# The run's corpus grows in the build folder; the seeds in fuzz/corpus stay as they are.
mkdir -p build-fuzz/corpus
cp fuzz/corpus/* build-fuzz/corpus/
cd build-fuzz
./fuzz/ini_document_fuzz -max_total_time="$seconds" -max_len=4096 -timeout=10 -print_final_stats=1 corpus

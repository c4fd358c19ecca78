#!/bin/sh
# SPDX-License-Identifier: MIT
# Installs a build into a scratch prefix the way a distribution that ships no static libraries
# does (every lib*.a deleted), then builds and runs a program that finds kivocom with
# find_package: check-installed-package.sh BUILD_DIR
# The package must load without the static libraries, and a program that asks for the simulator
# must be told it is missing, at configure time.
set -eu
build=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
generator=; command -v ninja >/dev/null && generator="-G Ninja"

cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
find "$scratch/prefix" -name 'lib*.a' -delete
cmake -S "$here/consumer" -B "$scratch/consumer" $generator -DCMAKE_PREFIX_PATH="$scratch/prefix" >"$scratch/configure.log"
grep -q "kivocom simulator library: FALSE" "$scratch/configure.log"
cmake --build "$scratch/consumer" >"$scratch/build.log" || { cat "$scratch/build.log" >&2; exit 1; }
LD_LIBRARY_PATH="$scratch/prefix/lib" "$scratch/consumer/consumer"

# A program that requires the simulator fails to configure, naming the missing component.
if cmake -S "$here/consumer" -B "$scratch/needs-simulator" $generator -DCMAKE_PREFIX_PATH="$scratch/prefix" \
    -DKIVOCOM_CONSUMER_NEEDS_SIMULATOR=ON >"$scratch/needs-simulator.log" 2>&1; then
  echo "find_package(kivocom COMPONENTS simulator) succeeded without libkivocom_simulator.a" >&2
  exit 1
fi
grep -q "simulator" "$scratch/needs-simulator.log"
echo "The package loads without static libraries; the simulator component is reported missing."

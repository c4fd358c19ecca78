#!/bin/sh
# SPDX-License-Identifier: MIT
# Compares the symbols a shared library exports with the list kept in the tree:
#   check-exported-symbols.sh LIBRARY LIST
# A symbol that appears or disappears changes the library's binary interface: update the version
# script (src/abi/kivocom.map) or the list on purpose, never by accident.
set -eu
actual=$(mktemp)
trap 'rm -f "$actual"' EXIT
nm -D --defined-only "$1" | c++filt | awk '{ $1 = ""; $2 = ""; sub(/^  /, ""); print }' | LC_ALL=C sort -u >"$actual"
if ! diff -u "$2" "$actual"; then
  echo "The exported symbols of $1 differ from $2 (- listed, + exported)." >&2
  exit 1
fi
echo "$(wc -l <"$actual") exported symbols, as listed."

#!/bin/sh
# SPDX-License-Identifier: MIT
# Compares the symbols a Windows DLL exports with the Linux library's list kept in the tree, so
# both systems export the same interface:
#   check-dll-exports.sh OBJDUMP CXXFILT DLL LIST
# The list's version node and "@@VERSION" suffixes are Linux's own and are left out, and 64-bit
# Windows spells int64_t "long long" where 64-bit Linux spells it "long", and its literals in
# template arguments (the clock's std::ratio<1ll, ...>) "ll" for "l": the same declaration.
set -eu
objdump=$1 cxxfilt=$2 dll=$3 list=$4
expected=$(mktemp)
actual=$(mktemp)
trap 'rm -f "$expected" "$actual"' EXIT
sed -n 's/@@KIVOCOM_[0-9.]*$//p' "$list" | LC_ALL=C sort -u >"$expected"
"$objdump" -p "$dll" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[ *[0-9]*\] //p' |
  "$cxxfilt" --no-strip-underscore | sed 's/long long/long/g; s/\([0-9]\)ll\([,>]\)/\1l\2/g' | LC_ALL=C sort -u >"$actual"
if ! diff -u "$expected" "$actual"; then
  echo "The exports of $dll differ from $list (- listed, + exported)." >&2
  exit 1
fi
echo "$(wc -l <"$actual") exported symbols, as listed."

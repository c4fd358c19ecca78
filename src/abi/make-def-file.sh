#!/bin/sh
# SPDX-License-Identifier: MIT
# Writes the export list (.def) of kivocom.dll from the rules the Linux library's version script
# holds, so both systems export the same interface:
#   make-def-file.sh NM CXXFILT VERSION_SCRIPT STATIC_LIBRARY OUTPUT [SYMBOL_PREFIX]
# Every external symbol the static library defines is demangled and kept when a pattern of the
# version script's "global:" part matches it (C++ patterns against the demangled name, C patterns
# against the plain one). Data (virtual tables, type information) is marked DATA, so programs
# reach it through the import table rather than through a call stub.
set -eu
nm=$1 cxxfilt=$2 map=$3 library=$4 output=$5 prefix=${6:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# "kind mangled-name" for each defined external symbol (without the system's symbol prefix): F
# for code, D for data.
"$nm" -g --defined-only "$library" |
  awk -v prefix="$prefix" 'NF == 3 && substr($3, 1, length(prefix)) == prefix {
    print ($2 == "T" ? "F" : "D"), substr($3, length(prefix) + 1) }' | LC_ALL=C sort -u -k2,2 >"$work/symbols"
# The 32-bit Windows demangler would strip one more leading underscore unless told not to.
cut -d' ' -f2 "$work/symbols" | "$cxxfilt" --no-strip-underscore >"$work/demangled"

# The version script's patterns, as extended regular expressions: "C++ regex" or "C regex".
awk '
  /global:/ { global = 1 }
  /local:/ { global = 0 }
  /extern "C\+\+"/ { cxx = 1; next }
  /};/ { cxx = 0 }
  global && /;[ \t]*$/ && !/\/\*/ {
    line = $0
    sub(/^[ \t]*/, "", line); sub(/;[ \t]*$/, "", line)
    if (line ~ /^global:/) next
    gsub(/^"|"$/, "", line)
    gsub(/[][\\.^$+?(){}|]/, "\\\\&", line)
    gsub(/\*/, ".*", line)
    print (cxx ? "C++" : "C"), line
  }' "$map" >"$work/patterns"

{
  echo "LIBRARY kivocom.dll"
  echo "EXPORTS"
  paste -d'\t' "$work/symbols" "$work/demangled" | awk -F'\t' -v patterns="$work/patterns" '
    BEGIN {
      while ((getline line < patterns) > 0) {
        kind = substr(line, 1, index(line, " ") - 1)
        rx = "^(" substr(line, index(line, " ") + 1) ")$"
        if (kind == "C++") cxx[++ncxx] = rx; else c[++nc] = rx
      }
    }
    {
      split($1, head, " "); name = head[2]; demangled = $2
      keep = 0
      if (name ~ /^_Z/) { for (i = 1; i <= ncxx && !keep; ++i) if (demangled ~ cxx[i]) keep = 1 }
      else { for (i = 1; i <= nc && !keep; ++i) if (name ~ c[i]) keep = 1 }
      if (keep) print "  " name (head[1] == "D" ? " DATA" : "")
    }'
} >"$output"

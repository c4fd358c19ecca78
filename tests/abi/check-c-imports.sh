#!/bin/sh
# SPDX-License-Identifier: MIT
# Every function the C interface declares carries KVC_API, which Windows programs need to import it
# from kivocom.dll: check-c-imports.sh HEADER
set -eu
missing=$(grep -nE '^[A-Za-z].*[^A-Za-z0-9_]kvc_[a-z0-9_]+\(|^[A-Za-z_0-9]+ kvc_[a-z0-9_]+\(' "$1" | grep -vE '^[0-9]+:(KVC_API |typedef |#)' || true)
if [ -n "$missing" ]; then
  printf '%s\n' "$missing"
  echo "These declarations in $1 lack KVC_API." >&2
  exit 1
fi
echo "$(grep -c '^KVC_API ' "$1") declarations, each with KVC_API."

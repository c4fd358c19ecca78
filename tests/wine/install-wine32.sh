#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Makes 32-bit Windows programs run under Wine on this machine: install-wine32.sh
#
# The machine's kernel runs no 32-bit Linux programs, so Debian's 32-bit Wine (wine32:i386) runs
# through the qemu-i386 user-mode emulator, which the kernel starts for 32-bit programs
# (binfmt_misc). Everything comes from Debian's archive. When all is in place this returns at
# once; otherwise it installs what is missing, as root (or through sudo).
set -euo pipefail
shopt -s nullglob
emulator=/usr/local/bin/qemu-i386-binfmt
binfmts=/proc/sys/fs/binfmt_misc

sudo_cmd=(); [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
as_root() { "${sudo_cmd[@]}" "$@"; }
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
# Other builds on the machine may be installing packages at the same moment.
apt_get() { as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 "$@"; }

# Wine's 32-bit loader tries some 65,000 reservations above 2 GB that qemu refuses one by one
# (about 50 s per program start); a fixed reserved area makes a start take about 2.5 s.
emulator_text='#!/bin/sh
: "${QEMU_RESERVED_VA:=0x81000000}"; export QEMU_RESERVED_VA
exec /usr/bin/qemu-i386-static "$@"'

emulator_ready() {
  [ "$(cat "$emulator" 2>/dev/null)" = "$emulator_text" ] && [ -x "$emulator" ] &&
    grep -qx enabled "$binfmts/qemu-i386" 2>/dev/null &&
    grep -qx "interpreter $emulator" "$binfmts/qemu-i386"
}

install_emulator() {
  installed qemu-user-static && installed binfmt-support && installed curl ||
    { apt_get update -qq; apt_get install -y -qq --no-install-recommends qemu-user-static binfmt-support curl; }
  mountpoint -q "$binfmts" || as_root mount -t binfmt_misc binfmt_misc "$binfmts"
  printf '%s\n' "$emulator_text" | as_root tee "$emulator" >/dev/null
  as_root chmod 0755 "$emulator"
  if ! update-binfmts --display qemu-i386 2>/dev/null | grep -q "interpreter = $emulator"; then
    # The magic and mask of a 32-bit x86 ELF program or shared object.
    as_root update-binfmts --package local-i386 --install qemu-i386 "$emulator" \
      --magic '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00' \
      --mask '\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff' \
      --offset 0 --credentials no --fix-binary no
  fi
  # After a restart the entry is known but not yet handed to the kernel.
  grep -qx enabled "$binfmts/qemu-i386" 2>/dev/null || as_root update-binfmts --enable qemu-i386
}

# While Debian's mirror is being synchronised, apt can refuse an index for its size ("Mirror sync
# in progress?") and go on without it. A 32-bit library must then be the very version of its
# installed 64-bit twin that only the refused index names; apt says which one it lacks, and that
# version's file is fetched from the archive's pool, where the 64-bit index places its twin.
install_wine32() {
  dpkg --print-foreign-architectures | grep -qx i386 || as_root dpkg --add-architecture i386
  apt_get update -qq || echo "Going on with the indexes apt has." >&2
  twins=$(mktemp -d)
  trap 'rm -rf "$twins"' EXIT
  chmod 0755 "$twins"
  local lacking name
  for _ in 1 2 3 4 5; do
    lacking=$(apt_get install -s --no-install-recommends -t bookworm wine32:i386 "$twins"/*.deb 2>&1 |
      sed -n 's/.*Depends: \([^ :]*\):i386 .*/\1/p' | sort -u) || true
    [ -n "$lacking" ] || break
    for name in $lacking; do
      [ -f "$twins/$name.deb" ] || fetch_twin "$name" "$twins/$name.deb" || break 2
    done
  done
  apt_get install -y -qq --no-install-recommends -t bookworm wine32:i386 "$twins"/*.deb
}

fetch_twin() {  # fetch_twin PACKAGE FILE: the i386 build of PACKAGE at its installed amd64 version
  local version file archive
  version=$(dpkg-query -W -f='${Version}' "$1:amd64" 2>/dev/null) || { echo "$1:i386 is not installable." >&2; return 1; }
  file=$(apt-cache show "$1:amd64=$version" | sed -n 's/^Filename: \(.*\)_amd64\.deb$/\1_i386.deb/p' | head -1)
  archive=$(apt-cache policy "$1:amd64" | sed -n '/\*\*\*/,/status/s|^ *[0-9]* \([a-z]*://[^ ]*\) .* amd64 Packages$|\1|p' | head -1)
  echo "Fetching $1:i386 $version from $archive (its index is missing or behind) ..." >&2
  # Over HTTPS: no signed index vouches for this file.
  [ -n "$file" ] && [ -n "$archive" ] && curl -fsSL --proto =https -o "$2" "https://${archive#*://}/$file"
}

emulator_ready || install_emulator
installed wine32:i386 || install_wine32

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Windows installer in a fresh Wine prefix with msiexec, uses what it installed as a
# user does, uninstalls it and checks that it left nothing behind:
#   msi-test.sh MSI NATIVE_BUILD WORK_DIR
#   1. msiexec /i: the files and registry keys it added are listed;
#   2. kivocom --version from a new console, found on the PATH the installer extended;
#   3. the installed example script creates KivoCOMPortII.CCOMPort under cscript and reads a
#      simulated instrument (NATIVE_BUILD's script instruments, installed as COM21 to COM23);
#   4. msiexec /x: no file under drive C: and no registry key may differ from before the install.
set -euo pipefail
if [ -z "${KIVOCOM_MSI_TEST_DISPLAY:-}" ]; then
  export KIVOCOM_MSI_TEST_DISPLAY=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
msi=$(realpath "$1")
native_build=$(realpath "$2")
work=$(realpath -m "$3")
rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"

echo "== a fresh Wine prefix"
wineboot -i >/dev/null 2>&1
wineserver -w
"$native_build/tests/com/kivocom_com_instruments" "$work" >"$work/instruments.out" 2>&1 &
instruments=$!
cleanup() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  kill "$instruments" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 100); do
  grep -q ready "$work/instruments.out" 2>/dev/null && break
  sleep 0.1
done
grep -q ready "$work/instruments.out" || { cat "$work/instruments.out"; echo "The instruments did not start." >&2; exit 1; }
while read -r port device; do
  [ "$port" = ready ] && break
  wine reg add 'HKLM\Software\Wine\Ports' /v "$port" /d "$device" /f >/dev/null 2>&1
done <"$work/instruments.out"

# Every file under drive C: and every registry key, once Wine has written its registry out.
snapshot() {
  wineserver -w
  (cd "$WINEPREFIX/drive_c" && find . -path ./windows/temp -prune -o -print | LC_ALL=C sort) >"$work/files-$1"
  sed -n 's/^\[\(.*\)\] [0-9]*$/\1/p' "$WINEPREFIX/system.reg" | sed 's/^/HKLM\\\\/' >"$work/keys-$1"
  sed -n 's/^\[\(.*\)\] [0-9]*$/\1/p' "$WINEPREFIX/user.reg" | sed 's/^/HKCU\\\\/' >>"$work/keys-$1"
  LC_ALL=C sort -o "$work/keys-$1" "$work/keys-$1"
}
added() { comm -13 "$work/$1-before" "$work/$1-$2"; }
snapshot before

echo "== msiexec /i $(basename "$msi")"
wine msiexec /i "Z:${msi//\//\\}" /qn
snapshot installed
echo "-- files added:"
added files installed | sed 's/^/   /'
echo "-- registry keys added:"
added keys installed | sed 's/^/   /'

echo "== kivocom --version, from a new console"
wine cmd /c "kivocom --version" | tr -d '\r'

echo "== cscript read_instrument.vbs 22 ID: CreateObject(\"KivoCOMPortII.CCOMPort\") and an exchange"
reply=$(wine cscript //nologo 'C:\Program Files\kivocom\examples\read_instrument.vbs' 22 ID 2>&1 | tr -d '\r')
printf '%s\n' "$reply"
grep -q "KIVO SCRIPT INSTRUMENT" <<<"$reply"

echo "== msiexec /x $(basename "$msi")"
wine msiexec /x "Z:${msi//\//\\}" /qn
snapshot removed
echo "-- PATH in a new console: $(wine cmd /c 'echo %PATH%' | tr -d '\r')"
left=0
if ! diff "$work/files-before" "$work/files-removed"; then left=1; fi
if ! diff "$work/keys-before" "$work/keys-removed"; then left=1; fi
if ((left)); then
  echo "Uninstalling left files or registry keys behind (>), or took some away (<)." >&2
  exit 1
fi
echo "Uninstalled: no file under drive C: and no registry key differs from before the install."

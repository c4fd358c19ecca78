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
. "$(dirname "$(realpath "$0")")/../wine/wine-loader.sh"
rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"

echo "== a fresh Wine prefix"
"$wine" wineboot -i >/dev/null 2>&1
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
  "$wine" reg add 'HKLM\Software\Wine\Ports' /v "$port" /d "$device" /f >/dev/null 2>&1
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
# Wine registers its script host's own type libraries when a script first runs; one runs before
# the first look, so that they are not counted against the installer.
echo 'WScript.Echo "script host ready"' >"$work/ready.vbs"
"$wine" cscript //nologo "Z:${work//\//\\}\\ready.vbs" | tr -d '\r'
snapshot before

echo "== msiexec /i $(basename "$msi")"
"$wine" msiexec /i "Z:${msi//\//\\}" /qn
snapshot installed
echo "-- files added:"
added files installed | sed 's/^/   /'
echo "-- registry keys added:"
added keys installed | sed 's/^/   /'

echo "== kivocom --version, from a new console"
"$wine" cmd /c "kivocom --version" | tr -d '\r'

echo "== cscript read_instrument.vbs 22 ID: CreateObject(\"KivoCOMPortII.CCOMPort\") and an exchange"
reply=$("$wine" cscript //nologo 'C:\Program Files\kivocom\examples\read_instrument.vbs' 22 ID 2>&1 | tr -d '\r')
printf '%s\n' "$reply"
grep -q "KIVO SCRIPT INSTRUMENT" <<<"$reply"

echo "== msiexec /x $(basename "$msi")"
"$wine" msiexec /x "Z:${msi//\//\\}" /qn
snapshot removed
echo "-- PATH in a new console: $("$wine" cmd /c 'echo %PATH%' | tr -d '\r')"
# Windows Installer keeps its own folder of cached packages and the bare parent keys of its
# product records, as on Windows; Wine's installer also deletes the key Classes\Wow6432Node\CLSID
# once the 32-bit classes' removal leaves it empty. Nothing else may differ.
installer_own='^[<>] (\./windows/Installer|HKLM\\\\Software\\\\Classes\\\\Installer\\\\(Features|Products|UpgradeCodes)'
installer_own+='|HKLM\\\\Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Installer\\\\(UpgradeCodes|UserData\\\\S-1-5-18\\\\(Components|Products))'
installer_own+='|HKLM\\\\Software\\\\Classes\\\\Wow6432Node\\\\CLSID)$'
{ diff "$work/files-before" "$work/files-removed"; diff "$work/keys-before" "$work/keys-removed"; } |
  grep -E '^[<>]' >"$work/differences" || true
echo "-- differences from before the install (Windows Installer's own):"
grep -E "$installer_own" "$work/differences" | sed 's/^/   /' || true
if grep -vE "$installer_own" "$work/differences"; then
  echo "Uninstalling left the files or registry keys above behind (>), or took them away (<)." >&2
  exit 1
fi
echo "Uninstalled: no file of kivocom under drive C: and no registry key of it remain."

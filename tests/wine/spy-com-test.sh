#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The in-process component under Wine's script host, spied on: spy-com-test.sh WINDOWS_BUILD NATIVE_BUILD
#
# A simulated bb4 switch with omega instruments on A and B (`kivocom simulate`), `kivocom spy
# --decode` in front of it, COM9 of a fresh Wine prefix linked to the spy's pseudo-terminal as
# the spy says (dosdevices/com9), and spy_client.vbs under cscript: an omega poll, a set frame
# and an exchange routed to port B. The client's replies and the spy's decoded frames are checked;
# the decoded session is printed.
set -euo pipefail
if [ -z "${KIVOCOM_SPY_TEST_DISPLAY:-}" ]; then
  export KIVOCOM_SPY_TEST_DISPLAY=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
windows_build=$(realpath "$1")
native_build=$(realpath "$2")
here=$(dirname "$(realpath "$0")")
. "$here/wine-loader.sh"
tool="$native_build/tools/kivocom"
work="$windows_build/spy-com-test"

rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"

sim=""; spy=""
cleanup() {
  # The Wine server first, while the pseudo-terminals it holds still exist.
  wineserver -k 2>/dev/null || true
  [ -n "$spy" ] && kill "$spy" 2>/dev/null || true
  [ -n "$sim" ] && kill "$sim" 2>/dev/null || true
}
trap cleanup EXIT

wait_for() {  # wait_for FILE TEXT
  for _ in $(seq 100); do grep -q "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done
  cat "$1"; echo "$1 never said: $2" >&2; exit 1
}

echo "Making a fresh Wine prefix ..."
"$wine" wineboot -i >/dev/null 2>&1
wineserver -w
cp "$windows_build/src/server/KivoCOMPortII.dll" "$work/"
folder="Z:${work//\//\\}"
"$wine" regsvr32 /s "$folder\\KivoCOMPortII.dll" >/dev/null 2>&1 || { echo "regsvr32 failed" >&2; exit 1; }

"$tool" simulate --style omega --switch bb4 --instruments 2 >"$work/simulator.out" 2>&1 &
sim=$!
wait_for "$work/simulator.out" "KIVOCOM_COM9="
device=$(sed -n 's/^  export KIVOCOM_COM9=//p' "$work/simulator.out")

"$tool" spy "$device" --decode >"$work/spy.out" 2>&1 &
spy=$!
wait_for "$work/spy.out" "dosdevices/com9"
# The spy's own instruction, as a user would follow it.
eval "$(sed -n 's/^  \(ln -sfn .*\)    (Windows programs under Wine)$/\1/p' "$work/spy.out")"
ls -l "$WINEPREFIX/dosdevices/com9"

(cd "$work" && timeout 60 "$wine" cscript //nologo "Z:${here//\//\\}\\spy_client.vbs" 9 "$folder\\settings.ini") \
  2>/dev/null | tr -d '\r' >"$work/client.out" || true
wineserver -k 2>/dev/null || true
sleep 0.3
kill "$spy"; wait "$spy" 2>/dev/null || true
spy=""

echo "The client:"; sed 's/^/  /' "$work/client.out"
echo "The spy, decoding:"; sed 's/^/  /' "$work/spy.out"

failures=0
expect() {  # expect FILE TEXT
  grep -qF -- "$2" "$1" || { echo "MISSING in $(basename "$1"): $2" >&2; failures=$((failures + 1)); }
}
expect "$work/client.out" "PV on A: +0024.45 (errorcode 0)"
expect "$work/client.out" "SL 100.0 on A: errorcode 0"
expect "$work/client.out" "ID on B: KIVO SIMULATED INSTRUMENT 2 (errorcode 0)"
expect "$work/spy.out" "= bb4 release"
expect "$work/spy.out" "= bb4 select port A"
expect "$work/spy.out" "= bb4 select port B"
expect "$work/spy.out" "= lone CR"
expect "$work/spy.out" "= omega poll, address 01: PV"
expect "$work/spy.out" "= omega set, address 01: SL100.0, block check 33 right"
expect "$work/spy.out" "= omega poll, address 01: ID"
expect "$work/spy.out" "= reply +0024.45, "
expect "$work/spy.out" "= reply KIVO SIMULATED INSTRUMENT 2, "
echo "Failures: $failures"
[ "$failures" -eq 0 ]

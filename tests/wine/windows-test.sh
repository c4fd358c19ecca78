#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the Windows build's whole test suite under Wine: windows-test.sh WINDOWS_BUILD NATIVE_BUILD
# The tests run in the Wine prefix of the Windows build (WINDOWS_BUILD/wineprefix), on a virtual
# display, and reach simulated instruments through the native build's simulator host.
set -euo pipefail
# Everything below runs on one virtual display, so the Wine desktop starts with the first program
# rather than racing the first tests.
if [ -z "${KIVOCOM_WINDOWS_TEST_DISPLAY:-}" ]; then
  export KIVOCOM_WINDOWS_TEST_DISPLAY=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
windows_build=$(realpath "$1")
native_build=$(realpath "$2")
here=$(dirname "$(realpath "$0")")
. "$here/wine-loader.sh"

export WINEPREFIX="$windows_build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"
export KIVOCOM_SIMULATOR_HOST="$native_build/src/kivocom_simhost"

# Creates the prefix once; the test runner takes the same lock, so nothing races to create it.
"$here/run-under-wine.sh" "$WINEPREFIX" cmd /c exit
wineserver -w
# A server that stays up between test programs: COM links made while Wine starts are not seen,
# and starting it once for the run keeps every test program's start quick.
wineserver -p
trap 'wineserver -k || true; wineserver -w || true' EXIT
# With no window manager on the virtual display, Wine waits two seconds for one each time a
# window is hidden or destroyed; unmanaged windows close at once.
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null

# A Wine program now and then hangs in its exit after its test has passed; such a test runs
# once more rather than failing the run for Wine's sake.
ctest --test-dir "$windows_build" --output-on-failure -j2 --repeat after-timeout:2

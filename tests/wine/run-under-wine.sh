#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs a Windows program under Wine for ctest: run-under-wine.sh PREFIX PROGRAM [ARGUMENTS...]
# PREFIX is a Wine prefix of the build's own. The first caller creates it; parallel test processes
# wait on a lock until it is ready instead of racing to create it. The program's exit code is
# passed through.
set -eu
prefix=$1
shift
. "$(dirname "$0")/wine-loader.sh"
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
# No "install Mono/Gecko?" dialogs and no menu entries or file associations for the prefix.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"

mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/.kivocom-ready" ]; then
    "$wine" wineboot -i >/dev/null 2>&1
    wineserver -w
    touch "$prefix/.kivocom-ready"
  fi
) 9>"$prefix.lock"

exec "$wine" "$@"

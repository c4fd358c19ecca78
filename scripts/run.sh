#!/usr/bin/env bash
# Sets up this machine (Debian packages it lacks), builds kivocom, and runs what is asked:
#   scripts/run.sh demo            build, then run the kivocom tool's built-in demonstration
#   scripts/run.sh test            build, then run every test
#   scripts/run.sh test-sanitize   build with AddressSanitizer and UBSan, then run every test
#   scripts/run.sh fuzz [SECONDS]  build the settings-file parser's fuzz target with clang and run it
#   scripts/run.sh build           build only (build/), for the benchmarks and the tool
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libcli11-dev)
[ "${1:-}" = fuzz ] && packages+=(clang libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing ${missing[*]} ..." >&2
  sudo_cmd=(); [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >&2
fi

generator=(); command -v ninja >/dev/null && generator=(-G Ninja)
build() {  # build DIR [cmake options...]
  local dir=$1; shift
  cmake -S . -B "$dir" "${generator[@]}" "$@" >/dev/null
  cmake --build "$dir"
}

case "${1:-test}" in
  demo)
    build build
    exec build/tools/kivocom demo ;;
  test)
    build build
    ctest --test-dir build --output-on-failure ;;
  test-sanitize)
    build build-sanitize -DKIVOCOM_SANITIZE=ON -DKIVOCOM_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      ctest --test-dir build-sanitize --output-on-failure ;;
  fuzz)
    exec fuzz/run.sh "${2:-60}" ;;
  build)
    build build ;;
  *)
    echo "usage: scripts/run.sh demo|test|test-sanitize|fuzz [SECONDS]|build" >&2; exit 2 ;;
esac

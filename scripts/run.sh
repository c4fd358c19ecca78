#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Sets up this machine (Debian packages it lacks), builds kivocom, and runs what is asked:
#   scripts/run.sh demo            build, then run the kivocom tool's built-in demonstration
#   scripts/run.sh test            build, then run every test
#   scripts/run.sh test-sanitize   build with AddressSanitizer and UBSan, then run every test
#   scripts/run.sh fuzz [SECONDS]  build the settings-file parser's fuzz target with clang and run it
#   scripts/run.sh build           build only (build/), for the benchmarks and the tool
#   scripts/run.sh windows-build   cross-build for Windows: x86_64 (build-win64/) and i686 (build-win32/)
#   scripts/run.sh windows-test    build the x86_64 Windows build and run every test under Wine
#   scripts/run.sh com-test        build, register the in-process component in a fresh Wine prefix and
#                                  run its script suite (cscript) and its compiled client
#   scripts/run.sh com-test-32     the same for the 32-bit component (build-win32/), under 32-bit Wine,
#                                  which this job installs with the emulator it runs through
#   scripts/run.sh spy-com-test    build, then run the in-process component under Wine's script host behind
#                                  `kivocom spy` (COM9 linked to the spy) and check the decoded session
#   scripts/run.sh python-test     build the libraries and the tool, then run the Python package's tests
#                                  (pytest) against them (KIVOCOM_BUILD_DIR, default build/, names the
#                                  build folder; KIVOCOM_LIBRARY, when set, names another library)
#   scripts/run.sh deb             build the Debian packages (build-deb/*.deb) and check them with lintian
#   scripts/run.sh deb-test        build the Debian packages, install them on this machine, use them as
#                                  their users do, then remove them and check that nothing is left
#   scripts/run.sh windows-package build the Windows installer (build-msi/kivocom-VERSION-x64.msi) from
#                                  stripped release builds, then install, use and uninstall it under Wine
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libcli11-dev)
case "${1:-}" in
  fuzz) packages+=(clang libclang-rt-14-dev) ;;
  # the network-port tests run a real ser2net; the spy's tests run pySerial and PyVISA programs; serve's
  # tests run pySerial and gensiot
  test|test-sanitize) packages+=(ser2net python3-serial python3-pyvisa python3-pyvisa-py gensio-bin) ;;
  # The PyVISA backend's tests drive PyVISA, pyvisa-py over pySerial, pymeasure and a real ser2net;
  # definition files need PyYAML.
  python-test) packages+=(python3-pytest python3-setuptools python3-pip python3-pyvisa python3-pyvisa-py
                          python3-serial python3-pymeasure python3-yaml ser2net) ;;
  deb|deb-test) packages+=(debhelper dh-python python3 fakeroot lintian)
    # The package test runs a PyVISA program through the installed backend.
    if [ "$1" = deb-test ]; then packages+=(python3-pyvisa); fi ;;
  windows-package) packages+=(g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools libwine-dev wixl msitools
    wine wine64 xvfb xauth) ;;
  windows-build) packages+=(g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools libwine-dev googletest) ;;
  windows-test|com-test|spy-com-test) packages+=(g++-mingw-w64-x86-64 mingw-w64-tools libwine-dev googletest wine wine64 xvfb xauth) ;;
  com-test-32) packages+=(g++-mingw-w64-i686 mingw-w64-tools libwine-dev googletest wine wine64 xvfb xauth) ;;
esac
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
  cmake -S . -B "$dir" "${generator[@]}" -DKIVOCOM_WERROR=ON "$@" >/dev/null
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
  windows-build)
    build build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake
    # This machine's kernel runs no 32-bit programs of its own, so the i686 build here is the
    # library and the tool, without tests (com-test-32 runs the 32-bit component through an emulator).
    build build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake -DKIVOCOM_BUILD_TESTS=OFF ;;
  windows-test)
    # The Windows tests reach instruments simulated on this system's pseudo-terminals, through a
    # simulator host built natively.
    build build -DKIVOCOM_BUILD_BENCH=OFF
    build build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake
    exec tests/wine/windows-test.sh build-win64 build ;;
  com-test)
    build build -DKIVOCOM_BUILD_BENCH=OFF
    build build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake
    exec tests/com/com-test.sh build-win64 build ;;
  com-test-32)
    # The compiled client's tests come with the i686 build here; the simulated instruments are
    # the native build's, as for the 64-bit component.
    tests/wine/install-wine32.sh
    cmake -S . -B build "${generator[@]}" -DKIVOCOM_WERROR=ON -DKIVOCOM_BUILD_BENCH=OFF >/dev/null
    cmake --build build --target kivocom_com_instruments kivocom_simhost
    cmake -S . -B build-win32 "${generator[@]}" -DKIVOCOM_WERROR=ON -DKIVOCOM_BUILD_TESTS=ON \
      -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake >/dev/null
    cmake --build build-win32 --target kivocom_server kivocom_com_client_tests
    exec tests/com/com-test.sh build-win32 build ;;
  spy-com-test)
    cmake -S . -B build "${generator[@]}" -DKIVOCOM_WERROR=ON >/dev/null
    cmake --build build --target kivocom_tool
    cmake -S . -B build-win64 "${generator[@]}" -DKIVOCOM_WERROR=ON \
      -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake >/dev/null
    cmake --build build-win64 --target kivocom_server
    exec tests/wine/spy-com-test.sh build-win64 build ;;
  python-test)
    # Only what the package reaches: the library, the simulator library and the tool. Debian's
    # Python runs pytest (python3-pytest is installed for it), whatever python3 comes first on PATH.
    dir=${KIVOCOM_BUILD_DIR:-build}
    cmake -S . -B "$dir" "${generator[@]}" -DKIVOCOM_WERROR=ON >/dev/null
    cmake --build "$dir" --target kivocom_shared kivocom_simulator_shared kivocom_tool
    KIVOCOM_LIBRARY=${KIVOCOM_LIBRARY:-$PWD/$dir/src/libkivocom.so.1} \
      KIVOCOM_SIMULATOR_LIBRARY=${KIVOCOM_SIMULATOR_LIBRARY:-$PWD/$dir/src/libkivocom_simulator.so.1} \
      KIVOCOM_TOOL=${KIVOCOM_TOOL:-$PWD/$dir/tools/kivocom} PYTHONPATH=$PWD/python PYTHONDONTWRITEBYTECODE=1 \
      exec /usr/bin/python3 -m pytest -p no:cacheprovider python/tests ;;
  deb)
    exec tests/packages/build-debs.sh build-deb ;;
  deb-test)
    tests/packages/build-debs.sh build-deb
    exec tests/packages/deb-test.sh build-deb ;;
  windows-package)
    packaging/windows/build-msi.sh build-msi
    # The installed component's script reads the script suite's simulated instruments.
    cmake -S . -B build "${generator[@]}" -DKIVOCOM_WERROR=ON -DKIVOCOM_BUILD_BENCH=OFF >/dev/null
    cmake --build build --target kivocom_com_instruments
    exec tests/packages/msi-test.sh build-msi/kivocom-*-x64.msi build build-msi/msi-test ;;
  *)
    echo "usage: scripts/run.sh demo|test|test-sanitize|fuzz [SECONDS]|build|windows-build|windows-test|com-test|com-test-32|spy-com-test|python-test|deb|deb-test|windows-package" >&2; exit 2 ;;
esac

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian packages on this machine with apt-get, uses them as their users do, removes
# them and checks that they left no file behind: deb-test.sh DEB_DIR
# It refuses to run when a kivocom package is already installed, and removes exactly the packages
# it installed (dependencies included), on every path.
set -euo pipefail
debs=$(realpath "$1")
tree=$(realpath "$(dirname "$0")/../..")
packages=(libkivocom1 libkivocom-dev kivocom python3-kivocom)
sudo_cmd=(); [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
scratch=$(mktemp -d)

for p in "${packages[@]}"; do
  if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    echo "$p is installed already; remove it before this test." >&2
    exit 1
  fi
done

# The folders the packages write to, listed before and after.
watched=(/usr/bin /usr/include /usr/lib/x86_64-linux-gnu /usr/lib/python3/dist-packages /usr/share/man/man1
  /usr/share/bash-completion/completions /usr/share/doc /usr/share/lintian)
list_files() { find "${watched[@]}" 2>/dev/null | LC_ALL=C sort; }
installed_packages() { dpkg-query -W -f='${Package} ${Status}\n' | awk '$NF == "installed" { print $1 }' | sort; }

apt=(env DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=300 -y -qq)
list_files >"$scratch/files-before"
installed_packages >"$scratch/packages-before"
# The packages this test installed (with their dependencies), noted right after installing.
added=()
remove_added_packages() {
  if ((${#added[@]})); then
    echo "== apt-get purge ${added[*]}"
    "${apt[@]}" purge "${added[@]}" >/dev/null
    added=()
  fi
}
trap 'remove_added_packages; rm -rf "$scratch"' EXIT

echo "== apt-get install"
"${apt[@]}" install "$debs"/libkivocom1_*.deb "$debs"/libkivocom-dev_*.deb "$debs"/kivocom_*.deb \
  "$debs"/python3-kivocom_*.deb >"$scratch/install.log" 2>&1 || { cat "$scratch/install.log" >&2; exit 1; }
mapfile -t added < <(installed_packages | comm -13 "$scratch/packages-before" -)
dpkg-query -W "${packages[@]}"

cd "$scratch"  # nothing of the tree on any search path from here
echo "== kivocom --version; kivocom demo"
command -v kivocom
kivocom --version
kivocom demo >demo.out
grep -E '^(kivocom demo|[0-9]\.|Every step)' demo.out

echo "== a CMake program with find_package(kivocom REQUIRED COMPONENTS simulator)"
cmake -S "$tree/tests/install/consumer" -B consumer -DKIVOCOM_CONSUMER_NEEDS_SIMULATOR=ON >consumer.log
grep "kivocom simulator library" consumer.log
cmake --build consumer >/dev/null
consumer/consumer

echo "== a C program with pkg-config kivocom-simulator"
pkg-config --modversion kivocom kivocom-simulator
# shellcheck disable=SC2046
cc -std=c99 -Wall -Werror "$tree/examples/c/log_readings.c" -o log_readings $(pkg-config --cflags --libs kivocom-simulator kivocom)
ldd log_readings | grep kivocom
./log_readings --simulate readings.csv
head -3 readings.csv

# Debian's Python, which the package is installed for, whatever python3 comes first on PATH.
echo "== python3 -c 'import kivocom; ...'"
/usr/bin/python3 -c '
import kivocom
print(kivocom.__file__)
with kivocom.Simulator() as sim:
    sim.add_instrument("kivo", replies={"ID": "KIVO SIMULATED METER"})
    with kivocom.open(sim.port) as meter:
        print("ID ->", meter.query("ID"))
'

echo "== a PyVISA program through @kivocom"
/usr/bin/python3 -c '
import kivocom, pyvisa
with kivocom.Simulator() as sim:
    sim.add_instrument("kivo", replies={"ID": "KIVO SIMULATED METER"})
    rm = pyvisa.ResourceManager("@kivocom")
    meter = rm.open_resource(f"ASRL{sim.port}::INSTR", read_termination="\r\n", write_termination="\r")
    print("ID ->", meter.query("ID"))
    meter.close()
    rm.close()
'

echo "== man kivocom"
MANPAGER=cat MANWIDTH=80 man kivocom | head -12

cd /
remove_added_packages
trap 'rm -rf "$scratch"' EXIT
for p in "${packages[@]}"; do
  ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'
done
list_files >"$scratch/files-after"
if ! diff "$scratch/files-before" "$scratch/files-after"; then
  echo "The packages left files behind (+) or took files away (-)." >&2
  exit 1
fi
echo "The packages are removed and left no file behind in ${watched[*]}."

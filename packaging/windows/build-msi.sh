#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Windows installer from the tree: build-msi.sh OUT_DIR
#   OUT_DIR-win64, OUT_DIR-win32  optimised builds (-O2, without assertions): the tool, kivocom.dll
#                                 and the component for 64-bit Windows; the component for 32-bit
#                                 programs. The installer ships their files stripped.
#   OUT_DIR/stage                 the files the installer ships, as they are installed
#   OUT_DIR/kivocom-VERSION-x64.msi
# The build folders sit beside OUT_DIR, at the depth of the project's other build folders, so the
# compiler cache serves objects they share with those.
# wixl has no Environment element, so the row that puts the tool on the system PATH (and takes it
# off again on removal) is added to the compiled package with msibuild.
set -euo pipefail
out=$(realpath -m "$1")
tree=$(realpath "$(dirname "$0")/../..")
windows=$tree/packaging/windows
version=$(sed -n 's/^#define KIVOCOM_VERSION_STRING "\(.*\)"/\1/p' "$tree/include/kivocom/version.h")
generator=(); command -v ninja >/dev/null && generator=(-G Ninja)

# The project's default build type, RelWithDebInfo, is the release build (-O2, NDEBUG); its debug
# information is stripped from the shipped files.
release_build() {  # release_build DIR TOOLCHAIN TARGETS...
  local dir=$1 toolchain=$2; shift 2
  cmake -S "$tree" -B "$dir" "${generator[@]}" -DKIVOCOM_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$tree/cmake/$toolchain" -DKIVOCOM_BUILD_TESTS=OFF -DKIVOCOM_BUILD_BENCH=OFF >/dev/null
  cmake --build "$dir" --target "$@"
}
release_build "$out-win64" toolchain-x86_64-w64-mingw32.cmake kivocom_tool kivocom_shared kivocom_server
release_build "$out-win32" toolchain-i686-w64-mingw32.cmake kivocom_server

stage=$out/stage
rm -rf "$stage"
mkdir -p "$stage"/{bin,bin32,lib,include/kivocom,examples}
x86_64-w64-mingw32-strip --strip-unneeded -o "$stage/bin/kivocom.exe" "$out-win64/tools/kivocom.exe"
x86_64-w64-mingw32-strip --strip-unneeded -o "$stage/bin/kivocom.dll" "$out-win64/src/kivocom.dll"
x86_64-w64-mingw32-strip --strip-unneeded -o "$stage/bin/KivoCOMPortII.dll" "$out-win64/src/server/KivoCOMPortII.dll"
i686-w64-mingw32-strip --strip-unneeded -o "$stage/bin32/KivoCOMPortII.dll" "$out-win32/src/server/KivoCOMPortII.dll"
cp "$out-win64/src/libkivocom.dll.a" "$stage/lib/"
cp "$tree"/include/kivocom/*.h "$stage/include/kivocom/"
cp "$tree/README.md" "$stage/"
cp "$tree/LICENSE" "$stage/LICENSE.txt"
cp "$tree/examples/c/log_readings.c" "$tree/examples/python/log_readings.py" "$tree/examples/com/read_instrument.vbs" \
  "$stage/examples/"

# The headers' File rows, one per header of include/kivocom.
{
  echo '<?xml version="1.0" encoding="utf-8"?>'
  echo '<Include>'
  keypath=' KeyPath="yes"'
  for header in "$stage"/include/kivocom/*.h; do
    name=$(basename "$header")
    echo "  <File Id=\"header_${name%.h}\" Name=\"$name\" Source=\"include/kivocom/$name\"$keypath/>"
    keypath=
  done
  echo '</Include>'
} >"$stage/headers.wxi"

msi=$out/kivocom-$version-x64.msi
rm -f "$msi"
(cd "$stage" && wixl -a x64 -D Version="$version" -I "$windows" -I "$stage" -o "$msi" "$windows/kivocom.wxs")
msibuild "$msi" \
  -q 'CREATE TABLE `Environment` (`Environment` CHAR(72) NOT NULL, `Name` CHAR(255) NOT NULL LOCALIZABLE, `Value` CHAR(255) LOCALIZABLE, `Component_` CHAR(72) NOT NULL PRIMARY KEY `Environment`)' \
  -q "INSERT INTO \`Environment\` (\`Environment\`, \`Name\`, \`Value\`, \`Component_\`) VALUES ('ToolOnPath', '=-*Path', '[~];[BINDIR]', 'Tool')" \
  -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('RemoveEnvironmentStrings', 3300)" \
  -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('WriteEnvironmentStrings', 5200)"

echo "== shipped files (bytes)"
(cd "$stage" && find . -type f ! -name headers.wxi -printf '%10s  %P\n' | sort -k2)
printf '%10s  %s\n' "$(stat -c %s "$msi")" "$(basename "$msi") (the installer)"

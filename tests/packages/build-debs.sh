#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian packages from the tree and checks them with lintian: build-debs.sh OUT_DIR
# dpkg-buildpackage writes its results beside the source folder, so the tree's files (committed
# or not, without build folders) are copied to OUT_DIR/kivocom-VERSION and the packages land in
# OUT_DIR. Lintian errors fail the build; its warnings are printed.
set -euo pipefail
out=$1
version=$(dpkg-parsechangelog -S Version)
source_dir="$out/kivocom-$version"
rm -rf "$out"
mkdir -p "$source_dir"
git ls-files -z --cached --others --exclude-standard | xargs -0 -I{} sh -c '[ ! -e "$1" ] || printf "%s\0" "$1"' _ {} |
  tar --null -T - -cf - | tar -xf - -C "$source_dir"
(cd "$source_dir" && dpkg-buildpackage -us -uc -b)
echo "== lintian"
lintian --fail-on error --info "$out"/kivocom_*.changes
echo "== packages"
for deb in "$out"/*.deb; do
  printf '%-40s %8s bytes  (%s installed)\n' "$(basename "$deb")" "$(stat -c %s "$deb")" \
    "$(dpkg-deb -f "$deb" Installed-Size) KiB"
done

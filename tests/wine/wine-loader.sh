# SPDX-License-Identifier: MIT
# Sourced by the scripts that run Windows programs under Wine: which Wine loader starts them.
#
# "$wine" is Wine's 64-bit loader. Once Debian's 32-bit Wine (wine32) is installed beside the
# 64-bit one, plain `wine` and `wineboot` start the 32-bit loader first, and in a 64-bit prefix
# its script host, regsvr32 and console are the 32-bit ones, which do not see a component
# registered for 64-bit programs. The scripts therefore start everything as "$wine PROGRAM"
# (the prefix as "$wine wineboot -i"), which stays 64-bit whether wine32 is installed or not.
if [ -x /usr/lib/wine/wine64 ]; then
  # As Debian's `wine` does when it has only the 64-bit loader: Wine starts further programs
  # through it, and 32-bit ones through the 32-bit loader beside it.
  WINELOADER=/usr/lib/wine/wine64
  export WINELOADER
  wine=$WINELOADER
else
  wine=wine
fi

# wine_for FILE: the loader for FILE, a Windows program or DLL, and for the tools that must match
# its bitness (regsvr32, the script host, the registry tool). A 32-bit one runs in the same
# 64-bit prefix, as on 64-bit Windows, through Wine's 32-bit loader.
wine_for() {
  pe_header=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  if [ "$(od -An -tx2 -j$((pe_header + 4)) -N2 "$1" | tr -d ' ')" != 014c ]; then
    echo "$wine"
  elif [ -x /usr/lib/wine/wine ]; then
    echo /usr/lib/wine/wine
  else
    echo "$1 is a 32-bit program, and 32-bit Wine is not installed (tests/wine/install-wine32.sh)." >&2
    return 1
  fi
}

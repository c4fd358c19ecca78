#!/bin/sh
# SPDX-License-Identifier: MIT
# Writes the symbols file of libkivocom1 from the list of exported symbols the tests check
# (tests/abi/exported-symbols.txt, demangled, one "name@@VERSION" a line):
#   make-symbols-file.sh EXPORTED_SYMBOLS_LIST
# The simulator library exports its C interface alone, all under one version node.
set -eu
echo "libkivocom.so.1 libkivocom1 #MINVER#"
echo "* Build-Depends-Package: libkivocom-dev"
sed -e 's/@@/@/' -e 's/^\(KIVOCOM_[0-9.]*\)$/\1@\1/' "$1" | while IFS= read -r symbol; do
  case $symbol in
    *::*) printf ' (c++)"%s" 1.0.0\n' "$symbol" ;;
    *) printf ' %s 1.0.0\n' "$symbol" ;;
  esac
done
echo "libkivocom_simulator.so.1 libkivocom1 #MINVER#"
echo "* Build-Depends-Package: libkivocom-dev"
echo " (symver)KIVOCOM_SIMULATOR_1.0 1.0.0"

# SPDX-License-Identifier: MIT
# Removes from a generated header the default values widl writes into the C++ declarations: text
# defaults as wide literals (= L"..."), which are no BSTRs, and the null default that stands for a
# by-reference text's empty one (widl_source.cmake), where the parameter wants a text.
file(READ ${HEADER} text)
string(REGEX REPLACE " = L\"[^\"]*\"" "" text "${text}")
string(REGEX REPLACE "(BSTR \\*[A-Za-z0-9_]+) = 0" "\\1" text "${text}")
file(WRITE ${HEADER} "${text}")

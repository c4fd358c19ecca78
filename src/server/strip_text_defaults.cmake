# SPDX-License-Identifier: MIT
# Removes the default values widl writes as wide literals (= L"...") from a generated header.
file(READ ${HEADER} text)
string(REGEX REPLACE " = L\"[^\"]*\"" "" text "${text}")
file(WRITE ${HEADER} "${text}")

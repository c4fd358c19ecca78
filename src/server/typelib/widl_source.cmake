# SPDX-License-Identifier: MIT
# Writes the copy of the IDL that widl compiles: cmake -DIDL=... -DOUTPUT=... -P widl_source.cmake
# widl refuses a text default on a by-reference text; there the copy gives the parameter a null
# default, which empty_text_defaults turns back into the empty text in the compiled type library
# and strip_text_defaults removes from the header. Any other text default on a by-reference text is
# still refused by widl.
file(READ ${IDL} text)
string(REPLACE "defaultvalue(\"\")] BSTR*" "defaultvalue(0)] BSTR*" text "${text}")
file(WRITE ${OUTPUT} "${text}")

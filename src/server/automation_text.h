// SPDX-License-Identifier: MIT
// Texts and Booleans as automation clients pass them: BSTRs whose characters travel as one byte
// each in the system's ANSI code page, and VARIANT_BOOLs that are -1 for True.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

namespace kivocom::server {

// The bytes of `text` in the ANSI code page; a null BSTR is the empty text.
std::string AnsiFromBstr(BSTR text);
// A new BSTR holding `text` read in the ANSI code page (NUL bytes included); the caller frees it.
BSTR BstrFromAnsi(const std::string& text);
// True as -1 and False as 0, never 1.
inline VARIANT_BOOL VariantBool(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

}  // namespace kivocom::server

// SPDX-License-Identifier: MIT
// Calls to the client's objects by member name at run time (its controls and settings objects),
// with their failures raised as the library's errors.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <vector>

#include "server/variant_values.h"

namespace kivocom::server {

// Calls member `name` of `object` as `kind` (DISPATCH_METHOD, DISPATCH_PROPERTYGET or
// DISPATCH_PROPERTYPUT) with `arguments` in their written order; for a property put the last
// argument is the value assigned. Returns the member's result. A failure raises kivocom::Error with
// the object's own error record, or the number and text automation clients know ("Object doesn't
// support this property or method", 438) with source `source`.
Variant CallMember(IDispatch* object, const wchar_t* name, WORD kind, std::vector<VARIANT*> arguments,
                   const char* source);

}  // namespace kivocom::server

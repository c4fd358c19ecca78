// SPDX-License-Identifier: MIT
// Registration of the component's classes, ProgIDs and type library, and its removal.
#pragma once

#include <windows.h>

namespace kivocom::server {

// Writes the classes (in-process server in this DLL, apartment threading), their ProgIDs and the
// type library.
HRESULT RegisterServer();
// Removes every key RegisterServer wrote, and the type library's registration.
HRESULT UnregisterServer();

}  // namespace kivocom::server

// SPDX-License-Identifier: MIT
// The component's creatable classes: identifiers, ProgIDs and how each is made.
#pragma once

#include <windows.h>

#include "server/class_factory.h"

namespace kivocom::server {

struct CreatableClass {
  const CLSID& clsid;
  const wchar_t* progId;       // such as "KivoCOMPortII.CCOMPort"
  const wchar_t* description;  // the class key's default value
  bool inTypeLibrary;          // described by the component's type library
  CreateObject create;
};

// CCOMPort, CSmartSwitch and the settings-file component KivoINIFile.
const CreatableClass* CreatableClasses(size_t& count);

}  // namespace kivocom::server

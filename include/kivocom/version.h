// SPDX-License-Identifier: MIT
// The library's version: these macros at compile time, kivocom::Version() at run time (the
// library a program actually loaded). Versions 1.x keep the programming interface and the shared
// library's binary interface; the settings files' "Version" key holds major.minor.
#pragma once

#define KIVOCOM_VERSION_MAJOR 1
#define KIVOCOM_VERSION_MINOR 0
#define KIVOCOM_VERSION_PATCH 0
#define KIVOCOM_VERSION_STRING "1.0.0"

namespace kivocom {

// The version of the library in use, such as "1.0.0".
const char* Version();

}  // namespace kivocom

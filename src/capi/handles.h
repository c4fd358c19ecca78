// SPDX-License-Identifier: MIT
// What the C interface's opaque handles hold.
#pragma once

#include <memory>

#include "kivocom/comport.h"
#include "kivocom/kivo_ini_file.h"
#include "kivocom/smart_switch.h"

struct kvc_port {
  kivocom::CCOMPort port;
};

struct kvc_switch {
  kivocom::CSmartSwitch sw;
  // The handle given as parent, returned while the switch still has that parent.
  kvc_port* parent = nullptr;
};

struct kvc_ini {
  // Shared, since the port and switch classes take their settings file as a shared pointer.
  std::shared_ptr<kivocom::KivoINIFile> file = std::make_shared<kivocom::KivoINIFile>();
};

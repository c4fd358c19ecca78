// SPDX-License-Identifier: MIT
// A fixture for KivoINIFile on real files: a component on "settings.ini" in a scratch folder,
// section "S", and the number of the error an action raises.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "kivocom/error.h"
#include "kivocom/kivo_ini_file.h"
#include "support/scratch_folder.h"

namespace kivocom {

class IniFileTest : public ::testing::Test {
 protected:
  IniFileTest() {
    ini.FileName(path);
    ini.Section("S");
  }
  // The number of the Error that `action` raises (0 when it raises none).
  template <class Action>
  static int32_t ErrorNumberOf(Action&& action, std::string* description = nullptr) {
    try {
      action();
    } catch (const Error& e) {
      if (description) *description = e.Description();
      return e.Number();
    }
    return 0;
  }

  ScratchFolder scratch;
  std::string path = scratch.Path("settings.ini");
  KivoINIFile ini;
};

}  // namespace kivocom

// SPDX-License-Identifier: MIT
// Saving the switch's model and port count to a section of a settings file, and loading them.
#include <string>

#include "comport/continue_on_error.h"
#include "kivocom/smart_switch.h"
#include "kivocom/support.h"
#include "kivoini/settings_component.h"

namespace kivocom {

void CSmartSwitch::WriteToFile(std::shared_ptr<IniFile>& INIFile, const std::string& fname,
                               const std::string& secname) {
  SettingsComponent ini(INIFile);
  try {
    ini.Open(fname);
    ini->Section(secname);
    ini->WriteString("Version", KIVOCOM_VERSION_TEXT);
    ini->WriteInteger("NumPorts", NumPorts(), "");
    ini->WriteInteger("Style", ToInteger16(Style(), "CSmartSwitch - WriteToFile"), "");
  } catch (...) {
    ShowErrorMessage(LoadResString(109), kMessageTitle, "", 0, CaughtErrorRecord());
  }
}

bool CSmartSwitch::ReadFromFile(std::shared_ptr<IniFile>& INIFile, const std::string& fname,
                                const std::string& secname) {
  bool result = false;
  SettingsComponent ini(INIFile);
  try {
    ini.Open(fname);
    ini->Section(secname);
    // One working variable for both keys: a missing key assigns what the component left in it.
    int16_t value = 0;
    bool keyMissing = false;
    if (!ini->ReadInteger("NumPorts", value)) keyMissing = true;
    NumPorts(value);
    if (!ini->ReadInteger("Style", value)) keyMissing = true;
    Style(static_cast<ESmartSwitchStyle>(value));
    if (keyMissing)
      ShowInfoMessage(LoadResString(111), kMessageTitle, "", 0);
    else
      result = true;
  } catch (...) {
    ShowErrorMessage(LoadResString(110), kMessageTitle, "", 0, CaughtErrorRecord());
    result = false;
  }
  return result;
}

}  // namespace kivocom

// SPDX-License-Identifier: MIT
// Saving the port's settings, and its switch's, to sections of a settings file, and loading them.
#include <string>

#include "comport/continue_on_error.h"
#include "kivocom/comport.h"
#include "kivocom/smart_switch.h"
#include "kivocom/support.h"
#include "kivoini/settings_component.h"

namespace kivocom {
namespace {

constexpr const char* kWriteSource = "CCOMPort - WriteToFile";

// The section of the port's switch: the port's own section name, " - ", "SmartSwitch".
std::string SwitchSection(const std::string& secname) { return secname + " - SmartSwitch"; }

}  // namespace

void CCOMPort::WriteToFile(std::shared_ptr<IniFile>& INIFile, const std::string& fname,
                           const std::string& secname) {
  SettingsComponent ini(INIFile);
  try {
    ini.Open(fname);
    ini->Section(secname);
    ini->WriteString("Version", KIVOCOM_VERSION_TEXT);
    ini->WriteInteger("BaudRate", ToInteger16(BaudRate(), kWriteSource), "");
    ini->WriteInteger("ControllerStyle", ToInteger16(ControllerStyle(), kWriteSource), "");
    ini->WriteInteger("Port", ToInteger16(port(), kWriteSource), "");
    ini->WriteBoolean("UsesSmartSwitch", UsesSmartSwitch());
    ini->WriteBoolean("AutoClose", AutoClose());
    ini->WriteInteger("Retries", Retries(), "");
    ini->WriteLong("TimeOut", TimeOut(), "");
    ini->WriteBoolean("StripCRLF", StripCRLF());
    ini->WriteBoolean("UseIrDADongle", UseIrDADongle());
    ini->WriteBoolean("CheckNonAscii", CheckNonAscii());
    switch_->WriteToFile(INIFile, "", SwitchSection(secname));
  } catch (...) {
    ShowErrorMessage(LoadResString(109), kMessageTitle, "", 0, CaughtErrorRecord());
  }
}

bool CCOMPort::ReadFromFile(std::shared_ptr<IniFile>& INIFile, const std::string& fname,
                            const std::string& secname) {
  bool result = false;
  SettingsComponent ini(INIFile);
  try {
    ini.Open(fname);
    ini->Section(secname);
    // Three working variables, not reset between keys: a missing key still calls its setter,
    // which receives what the component left in the variable.
    int16_t integer = 0;
    bool flag = false;
    int32_t number = 0;
    bool keyMissing = false;
    auto found = [&](bool read) { keyMissing = keyMissing || !read; };
    found(ini->ReadInteger("BaudRate", integer));
    BaudRate(static_cast<EBaudRate>(integer));
    found(ini->ReadInteger("ControllerStyle", integer));
    ControllerStyle(static_cast<EControllerStyle>(integer));
    found(ini->ReadInteger("Port", integer));
    port(integer);
    found(ini->ReadBoolean("UsesSmartSwitch", flag));
    UsesSmartSwitch(flag);
    found(ini->ReadBoolean("AutoClose", flag));
    AutoClose(flag);
    found(ini->ReadInteger("Retries", integer));
    Retries(integer);
    found(ini->ReadLong("TimeOut", number));
    TimeOut(number);
    found(ini->ReadBoolean("StripCRLF", flag));
    StripCRLF(flag);
    found(ini->ReadBoolean("UseIrDADongle", flag));
    UseIrDADongle(flag);
    found(ini->ReadBoolean("CheckNonAscii", flag));
    CheckNonAscii(flag);
    found(switch_->ReadFromFile(INIFile, "", SwitchSection(secname)));
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

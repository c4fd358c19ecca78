// SPDX-License-Identifier: MIT
#include "server/creatable_classes.h"

#include <iterator>

#include "kivocomportii.h"
#include "server/ini_object.h"
#include "server/port_object.h"
#include "server/switch_object.h"

namespace kivocom::server {
namespace {

// The settings-file component's class, registered as KivoIniFile.KivoINIFile; fixed, never changes.
constexpr CLSID kClsidKivoIniFile = {0xf892bb4f, 0x91b1, 0x4204, {0x88, 0x10, 0x27, 0xc3, 0x5c, 0xe8, 0x90, 0x35}};

const CreatableClass kClasses[] = {
    {CLSID_CCOMPort, L"KivoCOMPortII.CCOMPort", L"KivoCOMPortII CCOMPort", true, PortObject::Create<PortObject>},
    {CLSID_CSmartSwitch, L"KivoCOMPortII.CSmartSwitch", L"KivoCOMPortII CSmartSwitch", true, SwitchObject::Create<SwitchObject>},
    {kClsidKivoIniFile, L"KivoIniFile.KivoINIFile", L"KivoIniFile KivoINIFile", false, IniObject::Create},
};

}  // namespace

const CreatableClass* CreatableClasses(size_t& count) {
  count = std::size(kClasses);
  return kClasses;
}

}  // namespace kivocom::server

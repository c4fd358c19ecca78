// SPDX-License-Identifier: MIT
#include "server/switch_object.h"

#include "kivocom/enums.h"
#include "server/automation_text.h"
#include "server/dispatch_ini_file.h"
#include "server/port_object.h"

namespace kivocom::server {

SwitchObject::SwitchObject() : DualObject(IID__CSmartSwitch), switch_(std::make_unique<CSmartSwitch>()) {}

HRESULT SwitchObject::CurrentPort(BSTR* result) {
  return Get(result, [&] { return BstrFromAnsi(switch_->CurrentPort()); });
}

HRESULT SwitchObject::put_Style(::ESmartSwitchStyle value) {
  return Run([&] { switch_->Style(static_cast<kivocom::ESmartSwitchStyle>(value)); });
}

HRESULT SwitchObject::get_Style(::ESmartSwitchStyle* result) {
  return Get(result, [&] { return static_cast<::ESmartSwitchStyle>(switch_->Style()); });
}

HRESULT SwitchObject::get_NumPorts(short* result) {
  return Get(result, [&] { return switch_->NumPorts(); });
}

// The switch refers to the port without keeping it alive: when the port object ends, the switch
// has no parent again. An object that is no port of this component is refused.
HRESULT SwitchObject::putref_Parent(_CCOMPort** parent) {
  return Run([&] {
    if (parent == nullptr || *parent == nullptr) return switch_->Parent(nullptr);
    PortObject* port = PortObject::FromInterface(*parent);
    if (port == nullptr) throw Error(kErrInvalidPropertyValue, "CSmartSwitch - Set Parent", "Invalid property value");
    switch_->Parent(&port->Port());
    port->Release();
  });
}

HRESULT SwitchObject::WriteToFile(IDispatch** INIFile, BSTR fname, BSTR secname) {
  return Run([&] {
    std::shared_ptr<IniFile> file = ClientIniFile(INIFile);
    switch_->WriteToFile(file, AnsiFromBstr(fname), AnsiFromBstr(secname));
  });
}

HRESULT SwitchObject::ReadFromFile(IDispatch** INIFile, BSTR fname, BSTR secname, VARIANT_BOOL* result) {
  return Get(result, [&] {
    std::shared_ptr<IniFile> file = ClientIniFile(INIFile);
    return VariantBool(switch_->ReadFromFile(file, AnsiFromBstr(fname), AnsiFromBstr(secname)));
  });
}

}  // namespace kivocom::server

// SPDX-License-Identifier: MIT
#include "server/port_object.h"

#include <new>

#include "kivocom/enums.h"
#include "kivocom/serial_control.h"
#include "server/automation_text.h"
#include "server/control_object.h"
#include "server/dispatch_controls.h"
#include "server/dispatch_ini_file.h"

namespace kivocom::server {
namespace {

// The identity under which a port object hands out itself, so that a switch's Parent can find the
// library's port behind the interface a client passes.
constexpr IID kPortObjectIdentity = {0x7c1f2a64, 0x0b1e, 0x4c55, {0x9e, 0x2f, 0x51, 0x3a, 0x6d, 0x80, 0x42, 0x17}};

constexpr int32_t kErrObjectNotSet = 91;

IDispatch* RequireObject(IDispatch** reference) {
  if (reference == nullptr || *reference == nullptr)
    throw Error(kErrObjectNotSet, "KivoCOMPortII", "Object variable or With block variable not set");
  return *reference;
}

}  // namespace

PortObject* PortObject::FromInterface(IUnknown* unknown) {
  void* self = nullptr;
  if (unknown == nullptr || FAILED(unknown->QueryInterface(kPortObjectIdentity, &self))) return nullptr;
  return static_cast<PortObject*>(static_cast<DualObject<_CCOMPort>*>(self));
}

PortObject::PortObject() : DualObject(IID__CCOMPort), port_(std::make_unique<CCOMPort>()) {}

bool PortObject::IsOwnIdentity(REFIID iid) const { return iid == kPortObjectIdentity; }

HRESULT PortObject::put_CheckNonAscii(VARIANT_BOOL value) {
  return Run([&] { port_->CheckNonAscii(value != VARIANT_FALSE); });
}
HRESULT PortObject::get_CheckNonAscii(VARIANT_BOOL* result) {
  return Get(result, [&] { return VariantBool(port_->CheckNonAscii()); });
}

HRESULT PortObject::ClosePort() {
  return Run([&] { port_->ClosePort(); });
}

HRESULT PortObject::OpenPort(BSTR ssport, VARIANT_BOOL* result) {
  return Get(result, [&] { return VariantBool(port_->OpenPort(AnsiFromBstr(ssport))); });
}

HRESULT PortObject::get_COMControl(IDispatch** result) {
  return Get(result, [&] { return ControlObject::ForThread(ThreadSerialControl()); });
}

HRESULT PortObject::put_AutoClose(VARIANT_BOOL value) {
  return Run([&] { port_->AutoClose(value != VARIANT_FALSE); });
}
HRESULT PortObject::get_AutoClose(VARIANT_BOOL* result) {
  return Get(result, [&] { return VariantBool(port_->AutoClose()); });
}

HRESULT PortObject::put_Debugging(VARIANT_BOOL value) {
  return Run([&] { port_->Debugging(value != VARIANT_FALSE); });
}
HRESULT PortObject::get_Debugging(VARIANT_BOOL* result) {
  return Get(result, [&] { return VariantBool(port_->Debugging()); });
}

HRESULT PortObject::put_UsesSmartSwitch(VARIANT_BOOL value) {
  return Run([&] { port_->UsesSmartSwitch(value != VARIANT_FALSE); });
}
HRESULT PortObject::get_UsesSmartSwitch(VARIANT_BOOL* result) {
  return Get(result, [&] { return VariantBool(port_->UsesSmartSwitch()); });
}

HRESULT PortObject::put_UseIrDADongle(VARIANT_BOOL value) {
  return Run([&] { port_->UseIrDADongle(value != VARIANT_FALSE); });
}
HRESULT PortObject::get_UseIrDADongle(VARIANT_BOOL* result) {
  return Get(result, [&] { return VariantBool(port_->UseIrDADongle()); });
}

HRESULT PortObject::put_port(::ECOMPort value) {
  return Run([&] { port_->port(static_cast<int32_t>(value)); });
}
HRESULT PortObject::get_port(::ECOMPort* result) {
  return Get(result, [&] { return static_cast<::ECOMPort>(port_->port()); });
}

HRESULT PortObject::put_ControllerStyle(::EControllerStyle value) {
  return Run([&] { port_->ControllerStyle(static_cast<kivocom::EControllerStyle>(value)); });
}
HRESULT PortObject::get_ControllerStyle(::EControllerStyle* result) {
  return Get(result, [&] { return static_cast<::EControllerStyle>(port_->ControllerStyle()); });
}

HRESULT PortObject::get_Parity(::EParity* result) {
  return Get(result, [&] { return static_cast<::EParity>(port_->Parity()); });
}
HRESULT PortObject::get_StopBits(::EStopBits* result) {
  return Get(result, [&] { return static_cast<::EStopBits>(port_->StopBits()); });
}
HRESULT PortObject::get_DataBits(::EDataBits* result) {
  return Get(result, [&] { return static_cast<::EDataBits>(port_->DataBits()); });
}

HRESULT PortObject::put_BaudRate(::EBaudRate value) {
  return Run([&] { port_->BaudRate(static_cast<kivocom::EBaudRate>(value)); });
}
HRESULT PortObject::get_BaudRate(::EBaudRate* result) {
  return Get(result, [&] { return static_cast<::EBaudRate>(port_->BaudRate()); });
}
HRESULT PortObject::put_MinBaudRate(::EBaudRate value) {
  return Run([&] { port_->MinBaudRate(static_cast<kivocom::EBaudRate>(value)); });
}
HRESULT PortObject::get_MinBaudRate(::EBaudRate* result) {
  return Get(result, [&] { return static_cast<::EBaudRate>(port_->MinBaudRate()); });
}
HRESULT PortObject::put_MaxBaudRate(::EBaudRate value) {
  return Run([&] { port_->MaxBaudRate(static_cast<kivocom::EBaudRate>(value)); });
}
HRESULT PortObject::get_MaxBaudRate(::EBaudRate* result) {
  return Get(result, [&] { return static_cast<::EBaudRate>(port_->MaxBaudRate()); });
}

HRESULT PortObject::put_Retries(short value) {
  return Run([&] { port_->Retries(value); });
}
HRESULT PortObject::get_Retries(short* result) {
  return Get(result, [&] { return port_->Retries(); });
}

HRESULT PortObject::put_TimeOut(LONG value) {
  return Run([&] { port_->TimeOut(value); });
}
HRESULT PortObject::get_TimeOut(LONG* result) {
  return Get(result, [&] { return static_cast<LONG>(port_->TimeOut()); });
}

HRESULT PortObject::put_StripCRLF(VARIANT_BOOL value) {
  return Run([&] { port_->StripCRLF(value != VARIANT_FALSE); });
}
HRESULT PortObject::get_StripCRLF(VARIANT_BOOL* result) {
  return Get(result, [&] { return VariantBool(port_->StripCRLF()); });
}

HRESULT PortObject::BaudRateName(::EBaudRate vData, BSTR* result) {
  return Get(result, [&] { return BstrFromAnsi(port_->BaudRateName(static_cast<int32_t>(vData))); });
}

HRESULT PortObject::WritePort(::ECOMError* errorcode, BSTR cmd, BSTR ssport, BSTR Address, BSTR SetStr) {
  if (errorcode == nullptr) return E_POINTER;
  return Run([&] {
    kivocom::ECOMError code = static_cast<kivocom::ECOMError>(*errorcode);
    try {
      port_->WritePort(code, AnsiFromBstr(cmd), AnsiFromBstr(ssport), AnsiFromBstr(Address), AnsiFromBstr(SetStr));
    } catch (...) {
      *errorcode = static_cast<::ECOMError>(code);
      throw;
    }
    *errorcode = static_cast<::ECOMError>(code);
  });
}

HRESULT PortObject::ReadPort(::ECOMError* errorcode, BSTR cmd, BSTR ssport, BSTR Address, BSTR* result) {
  if (errorcode == nullptr) return E_POINTER;
  return Get(result, [&] {
    kivocom::ECOMError code = static_cast<kivocom::ECOMError>(*errorcode);
    const std::string reply = port_->ReadPort(code, AnsiFromBstr(cmd), AnsiFromBstr(ssport), AnsiFromBstr(Address));
    *errorcode = static_cast<::ECOMError>(code);
    return BstrFromAnsi(reply);
  });
}

HRESULT PortObject::Download(VARIANT_BOOL BinaryMode, ::ECOMError* errorcode, BSTR cmd, BSTR ssport, BSTR Address,
                             LONG readings, BSTR* result) {
  if (errorcode == nullptr) return E_POINTER;
  return Get(result, [&] {
    kivocom::ECOMError code = static_cast<kivocom::ECOMError>(*errorcode);
    const std::string data = port_->Download(BinaryMode != VARIANT_FALSE, code, AnsiFromBstr(cmd),
                                             AnsiFromBstr(ssport), AnsiFromBstr(Address), readings);
    *errorcode = static_cast<::ECOMError>(code);
    return BstrFromAnsi(data);
  });
}

HRESULT PortObject::ClearBuffers() {
  return Run([&] { port_->ClearBuffers(); });
}

HRESULT PortObject::TestSmartSwitch() {
  return Run([&] { port_->TestSmartSwitch(); });
}

HRESULT PortObject::FillCOMPortsCombo(IDispatch** ctrl, short CurrentPort) {
  return Run([&] {
    DispatchImageCombo combo(RequireObject(ctrl));
    port_->FillCOMPortsCombo(combo, CurrentPort);
  });
}

HRESULT PortObject::FillBaudRatesCombo(IDispatch** ctrl) {
  return Run([&] {
    DispatchListControl list(RequireObject(ctrl));
    port_->FillBaudRatesCombo(list);
  });
}

HRESULT PortObject::WriteToFile(IDispatch** INIFile, BSTR fname, BSTR secname) {
  return Run([&] {
    std::shared_ptr<IniFile> file = ClientIniFile(INIFile);
    port_->WriteToFile(file, AnsiFromBstr(fname), AnsiFromBstr(secname));
  });
}

HRESULT PortObject::ReadFromFile(IDispatch** INIFile, BSTR fname, BSTR secname, VARIANT_BOOL* result) {
  return Get(result, [&] {
    std::shared_ptr<IniFile> file = ClientIniFile(INIFile);
    return VariantBool(port_->ReadFromFile(file, AnsiFromBstr(fname), AnsiFromBstr(secname)));
  });
}

HRESULT PortObject::IsConfigured(VARIANT_BOOL* result) {
  return Get(result, [&] { return VariantBool(port_->IsConfigured()); });
}

HRESULT PortObject::UpdateDebugFile(BSTR* Text) {
  return Run([&] { port_->UpdateDebugFile(Text == nullptr ? std::string() : AnsiFromBstr(*Text)); });
}

}  // namespace kivocom::server

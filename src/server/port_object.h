// SPDX-License-Identifier: MIT
// CCOMPort as a COM class: the dual interface _CCOMPort over the library's CCOMPort. Releasing the
// last reference ends the port, which closes the thread's line when it is open.
#pragma once

#include <memory>

#include "kivocom/comport.h"
#include "kivocomportii.h"
#include "server/dual_object.h"

namespace kivocom::server {

class PortObject final : public DualObject<_CCOMPort> {
 public:
  // The class's interface, for its error records.
  static constexpr const IID& kInterface = IID__CCOMPort;
  // The port object behind `unknown`, with a reference the caller releases; nullptr when
  // `unknown` is no port object of this component.
  static PortObject* FromInterface(IUnknown* unknown);
  // The library's port this object serves.
  CCOMPort& Port() { return *port_; }

  HRESULT STDMETHODCALLTYPE put_CheckNonAscii(VARIANT_BOOL value) override;
  HRESULT STDMETHODCALLTYPE get_CheckNonAscii(VARIANT_BOOL* result) override;
  HRESULT STDMETHODCALLTYPE ClosePort() override;
  HRESULT STDMETHODCALLTYPE OpenPort(BSTR ssport, VARIANT_BOOL* result) override;
  HRESULT STDMETHODCALLTYPE get_COMControl(IDispatch** result) override;
  HRESULT STDMETHODCALLTYPE put_AutoClose(VARIANT_BOOL value) override;
  HRESULT STDMETHODCALLTYPE get_AutoClose(VARIANT_BOOL* result) override;
  HRESULT STDMETHODCALLTYPE put_Debugging(VARIANT_BOOL value) override;
  HRESULT STDMETHODCALLTYPE get_Debugging(VARIANT_BOOL* result) override;
  HRESULT STDMETHODCALLTYPE put_UsesSmartSwitch(VARIANT_BOOL value) override;
  HRESULT STDMETHODCALLTYPE get_UsesSmartSwitch(VARIANT_BOOL* result) override;
  HRESULT STDMETHODCALLTYPE put_UseIrDADongle(VARIANT_BOOL value) override;
  HRESULT STDMETHODCALLTYPE get_UseIrDADongle(VARIANT_BOOL* result) override;
  HRESULT STDMETHODCALLTYPE put_port(::ECOMPort value) override;
  HRESULT STDMETHODCALLTYPE get_port(::ECOMPort* result) override;
  HRESULT STDMETHODCALLTYPE put_ControllerStyle(::EControllerStyle value) override;
  HRESULT STDMETHODCALLTYPE get_ControllerStyle(::EControllerStyle* result) override;
  HRESULT STDMETHODCALLTYPE get_Parity(::EParity* result) override;
  HRESULT STDMETHODCALLTYPE get_StopBits(::EStopBits* result) override;
  HRESULT STDMETHODCALLTYPE get_DataBits(::EDataBits* result) override;
  HRESULT STDMETHODCALLTYPE put_BaudRate(::EBaudRate value) override;
  HRESULT STDMETHODCALLTYPE get_BaudRate(::EBaudRate* result) override;
  HRESULT STDMETHODCALLTYPE put_MinBaudRate(::EBaudRate value) override;
  HRESULT STDMETHODCALLTYPE get_MinBaudRate(::EBaudRate* result) override;
  HRESULT STDMETHODCALLTYPE put_MaxBaudRate(::EBaudRate value) override;
  HRESULT STDMETHODCALLTYPE get_MaxBaudRate(::EBaudRate* result) override;
  HRESULT STDMETHODCALLTYPE put_Retries(short value) override;
  HRESULT STDMETHODCALLTYPE get_Retries(short* result) override;
  HRESULT STDMETHODCALLTYPE put_TimeOut(LONG value) override;
  HRESULT STDMETHODCALLTYPE get_TimeOut(LONG* result) override;
  HRESULT STDMETHODCALLTYPE put_StripCRLF(VARIANT_BOOL value) override;
  HRESULT STDMETHODCALLTYPE get_StripCRLF(VARIANT_BOOL* result) override;
  HRESULT STDMETHODCALLTYPE BaudRateName(::EBaudRate vData, BSTR* result) override;
  HRESULT STDMETHODCALLTYPE WritePort(::ECOMError* errorcode, BSTR cmd, BSTR ssport, BSTR Address,
                                      BSTR SetStr) override;
  HRESULT STDMETHODCALLTYPE ReadPort(::ECOMError* errorcode, BSTR cmd, BSTR ssport, BSTR Address,
                                     BSTR* result) override;
  HRESULT STDMETHODCALLTYPE Download(VARIANT_BOOL BinaryMode, ::ECOMError* errorcode, BSTR cmd, BSTR ssport,
                                     BSTR Address, LONG readings, BSTR* result) override;
  HRESULT STDMETHODCALLTYPE ClearBuffers() override;
  HRESULT STDMETHODCALLTYPE TestSmartSwitch() override;
  HRESULT STDMETHODCALLTYPE FillCOMPortsCombo(IDispatch** ctrl, short CurrentPort) override;
  HRESULT STDMETHODCALLTYPE FillBaudRatesCombo(IDispatch** ctrl) override;
  HRESULT STDMETHODCALLTYPE WriteToFile(IDispatch** INIFile, BSTR fname, BSTR secname) override;
  HRESULT STDMETHODCALLTYPE ReadFromFile(IDispatch** INIFile, BSTR fname, BSTR secname,
                                         VARIANT_BOOL* result) override;
  HRESULT STDMETHODCALLTYPE IsConfigured(VARIANT_BOOL* result) override;
  HRESULT STDMETHODCALLTYPE UpdateDebugFile(BSTR* Text) override;

 protected:
  bool IsOwnIdentity(REFIID iid) const override;

 private:
  friend class DualObject<_CCOMPort>;
  PortObject();
  ~PortObject() override = default;

  std::unique_ptr<CCOMPort> port_;
};

}  // namespace kivocom::server

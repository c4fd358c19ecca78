// SPDX-License-Identifier: MIT
// CSmartSwitch as a COM class: the dual interface _CSmartSwitch over a switch of the library's
// own, for clients that edit and store switch settings.
#pragma once

#include <memory>

#include "kivocom/smart_switch.h"
#include "kivocomportii.h"
#include "server/dual_object.h"

namespace kivocom::server {

class SwitchObject final : public DualObject<_CSmartSwitch> {
 public:
  // The class's interface, for its error records.
  static constexpr const IID& kInterface = IID__CSmartSwitch;

  HRESULT STDMETHODCALLTYPE CurrentPort(BSTR* result) override;
  HRESULT STDMETHODCALLTYPE put_Style(::ESmartSwitchStyle value) override;
  HRESULT STDMETHODCALLTYPE get_Style(::ESmartSwitchStyle* result) override;
  HRESULT STDMETHODCALLTYPE get_NumPorts(short* result) override;
  HRESULT STDMETHODCALLTYPE putref_Parent(_CCOMPort** parent) override;
  HRESULT STDMETHODCALLTYPE WriteToFile(IDispatch** INIFile, BSTR fname, BSTR secname) override;
  HRESULT STDMETHODCALLTYPE ReadFromFile(IDispatch** INIFile, BSTR fname, BSTR secname,
                                         VARIANT_BOOL* result) override;

 private:
  friend class DualObject<_CSmartSwitch>;
  SwitchObject();
  ~SwitchObject() override = default;

  std::unique_ptr<CSmartSwitch> switch_;
};

}  // namespace kivocom::server

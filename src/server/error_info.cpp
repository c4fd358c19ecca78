// SPDX-License-Identifier: MIT
#include "server/error_info.h"

#include "platform/windows/ansi_text.h"

namespace kivocom::server {
namespace {

constexpr uint32_t kControlFacility = 0x800A0000u;

}  // namespace

HRESULT HresultFromErrorNumber(int32_t number) {
  if (number < 0) return static_cast<HRESULT>(number);
  if (number > 0 && number < 65536) return static_cast<HRESULT>(kControlFacility | static_cast<uint32_t>(number));
  return E_FAIL;
}

int32_t ErrorNumberFromHresult(HRESULT hr) {
  const uint32_t code = static_cast<uint32_t>(hr);
  if ((code & 0xFFFF0000u) == kControlFacility) return static_cast<int32_t>(code & 0xFFFFu);
  return static_cast<int32_t>(hr);
}

HRESULT ReportError(const Error& error, REFIID iid) {
  const HRESULT hr = HresultFromErrorNumber(error.Number());
  ICreateErrorInfo* create = nullptr;
  if (FAILED(CreateErrorInfo(&create))) return hr;
  create->SetGUID(iid);
  create->SetSource(const_cast<LPOLESTR>(WideFromAnsi(error.Source()).c_str()));
  create->SetDescription(const_cast<LPOLESTR>(WideFromAnsi(error.Description()).c_str()));
  create->SetHelpFile(const_cast<LPOLESTR>(WideFromAnsi(error.HelpFile()).c_str()));
  create->SetHelpContext(static_cast<DWORD>(error.HelpContext()));
  IErrorInfo* info = nullptr;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
    SetErrorInfo(0, info);
    info->Release();
  }
  create->Release();
  return hr;
}

}  // namespace kivocom::server

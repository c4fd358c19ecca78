// SPDX-License-Identifier: MIT
#include "server/registration.h"

#include <oleauto.h>
#include <olectl.h>

#include <string>

#include "kivocomportii.h"
#include "server/creatable_classes.h"
#include "server/server_module.h"

namespace kivocom::server {
namespace {

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40];
  StringFromGUID2(guid, text, 40);
  return text;
}

// Creates `path` under HKEY_CLASSES_ROOT with default value `value` and, when `name` is given, the
// named value `named`.
LSTATUS WriteKey(const std::wstring& path, const std::wstring& value, const wchar_t* name = nullptr,
                 const std::wstring& named = {}) {
  HKEY key = nullptr;
  LSTATUS status =
      RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return status;
  auto set = [&](const wchar_t* valueName, const std::wstring& text) {
    return RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  };
  status = set(nullptr, value);
  if (status == ERROR_SUCCESS && name != nullptr) status = set(name, named);
  RegCloseKey(key);
  return status;
}

LSTATUS RegisterClass(const CreatableClass& c, const std::wstring& modulePath) {
  const std::wstring clsid = GuidText(c.clsid);
  const std::wstring classKey = L"CLSID\\" + clsid;
  LSTATUS status = WriteKey(classKey, c.description);
  if (status == ERROR_SUCCESS)
    status = WriteKey(classKey + L"\\InprocServer32", modulePath, L"ThreadingModel", L"Apartment");
  if (status == ERROR_SUCCESS) status = WriteKey(classKey + L"\\ProgID", c.progId);
  if (status == ERROR_SUCCESS && c.inTypeLibrary) status = WriteKey(classKey + L"\\TypeLib", GuidText(LIBID_KivoCOMPortII));
  if (status == ERROR_SUCCESS) status = WriteKey(classKey + L"\\Version", L"1.0");
  if (status == ERROR_SUCCESS) status = WriteKey(c.progId, c.description);
  if (status == ERROR_SUCCESS) status = WriteKey(std::wstring(c.progId) + L"\\CLSID", clsid);
  return status;
}

// Removes a key with everything under it; a key that is not there counts as removed.
LSTATUS RemoveKey(const std::wstring& path) {
  const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str());
  if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) {
    RegDeleteKeyW(HKEY_CLASSES_ROOT, path.c_str());
    return ERROR_SUCCESS;
  }
  return status;
}

}  // namespace

HRESULT RegisterServer() {
  const std::wstring modulePath = ModulePath();
  size_t count = 0;
  const CreatableClass* classes = CreatableClasses(count);
  for (size_t i = 0; i < count; ++i)
    if (const LSTATUS status = RegisterClass(classes[i], modulePath); status != ERROR_SUCCESS)
      return HRESULT_FROM_WIN32(status);
  ITypeLib* library = nullptr;
  const HRESULT hr = LoadTypeLibEx(modulePath.c_str(), REGKIND_REGISTER, &library);
  if (FAILED(hr)) return hr;
  library->Release();
  return S_OK;
}

HRESULT UnregisterServer() {
  size_t count = 0;
  const CreatableClass* classes = CreatableClasses(count);
  LSTATUS failed = ERROR_SUCCESS;
  for (size_t i = 0; i < count; ++i) {
    for (const std::wstring& key : {L"CLSID\\" + GuidText(classes[i].clsid), std::wstring(classes[i].progId)})
      if (const LSTATUS status = RemoveKey(key); status != ERROR_SUCCESS) failed = status;
  }
  const SYSKIND system = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
  const HRESULT hr = UnRegisterTypeLib(LIBID_KivoCOMPortII, 1, 0, LOCALE_NEUTRAL, system);
  if (failed != ERROR_SUCCESS) return HRESULT_FROM_WIN32(failed);
  return hr == TYPE_E_REGISTRYACCESS || hr == TYPE_E_CANTLOADLIBRARY ? S_OK : hr;
}

}  // namespace kivocom::server

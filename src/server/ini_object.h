// SPDX-License-Identifier: MIT
// The settings-file component as a creatable automation class, KivoIniFile.KivoINIFile, for clients
// that create one themselves and hand it to WriteToFile and ReadFromFile: FileName, Section, the
// Read members (key, value by reference; True when found) and the Write members.
#pragma once

#include <windows.h>

#include "kivocom/kivo_ini_file.h"
#include "server/named_dispatch.h"

namespace kivocom::server {

class IniObject final : public NamedDispatch {
 public:
  // Creates an object and returns its interface `iid`.
  static HRESULT Create(REFIID iid, void** object);

 protected:
  const NamedMember* Members(size_t& count) const override;
  const char* ObjectName() const override { return "KivoINIFile"; }
  void Call(DISPID id, bool put, const CallArguments& arguments, VARIANT* result) override;

 private:
  IniObject() = default;
  ~IniObject() override = default;

  KivoINIFile file_;
};

}  // namespace kivocom::server

// SPDX-License-Identifier: MIT
// A settings-file object that the client hands to WriteToFile or ReadFromFile, reached by member
// name: any object with FileName, Section and the Read and Write members serves.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <memory>

#include "kivocom/ini_file.h"

namespace kivocom::server {

class DispatchIniFile final : public IniFile {
 public:
  // Refers to `object` (holding a reference of its own) for the life of this adapter.
  explicit DispatchIniFile(IDispatch* object);
  ~DispatchIniFile() override;
  DispatchIniFile(const DispatchIniFile&) = delete;
  DispatchIniFile& operator=(const DispatchIniFile&) = delete;

  void FileName(const std::string& fileName) override;
  void Section(const std::string& section) override;
  bool ReadBoolean(const std::string& key, bool& value) override;
  bool ReadInteger(const std::string& key, int16_t& value) override;
  bool ReadLong(const std::string& key, int32_t& value) override;
  void WriteBoolean(const std::string& key, bool value) override;
  void WriteInteger(const std::string& key, int16_t value, const std::string& reserved) override;
  void WriteLong(const std::string& key, int32_t value, const std::string& reserved) override;
  void WriteString(const std::string& key, const std::string& value) override;

 private:
  IDispatch* object_;
};

// The settings object a client passed by reference, or none for Nothing (the library then makes
// its own for the file name).
std::shared_ptr<IniFile> ClientIniFile(IDispatch** reference);

}  // namespace kivocom::server

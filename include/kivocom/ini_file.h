// SPDX-License-Identifier: MIT
// The settings-file component as the port and switch classes use it: typed values under keys in
// named sections. KivoINIFile (kivocom/kivo_ini_file.h) is the file-backed implementation.
#pragma once

#include <cstdint>
#include <string>

namespace kivocom {

// One settings file, addressed one section at a time. Members raise kivocom::Error on failure.
class IniFile {
 public:
  virtual ~IniFile() = default;
  // Names the file that later reads and writes use.
  virtual void FileName(const std::string& fileName) = 0;
  // Names the section that later reads and writes address.
  virtual void Section(const std::string& section) = 0;
  // True and `value` set when `key` holds a Boolean; false (value untouched) when not found.
  virtual bool ReadBoolean(const std::string& key, bool& value) = 0;
  // True and `value` set when `key` holds a 16-bit integer; false (value untouched) when not found.
  virtual bool ReadInteger(const std::string& key, int16_t& value) = 0;
  // True and `value` set when `key` holds a 32-bit integer; false (value untouched) when not found.
  virtual bool ReadLong(const std::string& key, int32_t& value) = 0;
  // Stores a Boolean under `key` in the current section.
  virtual void WriteBoolean(const std::string& key, bool value) = 0;
  // Stores a 16-bit integer under `key`; `reserved` is always the empty text.
  virtual void WriteInteger(const std::string& key, int16_t value, const std::string& reserved) = 0;
  // Stores a 32-bit integer under `key`; `reserved` is always the empty text.
  virtual void WriteLong(const std::string& key, int32_t value, const std::string& reserved) = 0;
  // Stores a text under `key`.
  virtual void WriteString(const std::string& key, const std::string& value) = 0;
};

}  // namespace kivocom

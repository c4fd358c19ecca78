// SPDX-License-Identifier: MIT
// A settings component held in memory: lets the tool hand a port the switch model it is told
// on the command line, since a port's own switch takes its model only from settings.
#pragma once

#include <algorithm>
#include <cctype>
#include <map>
#include <string>

#include "kivocom/ini_file.h"

namespace kivotool {

class MemoryIniFile : public kivocom::IniFile {
 public:
  void FileName(const std::string&) override {}
  void Section(const std::string& section) override { section_ = Lower(section); }
  bool ReadBoolean(const std::string& key, bool& value) override {
    const std::string* text = Find(key);
    if (text) value = (*text == "True");
    return text != nullptr;
  }
  bool ReadInteger(const std::string& key, int16_t& value) override {
    const std::string* text = Find(key);
    if (text) value = static_cast<int16_t>(std::stoi(*text));
    return text != nullptr;
  }
  bool ReadLong(const std::string& key, int32_t& value) override {
    const std::string* text = Find(key);
    if (text) value = std::stoi(*text);
    return text != nullptr;
  }
  void WriteBoolean(const std::string& key, bool value) override { Store(key, value ? "True" : "False"); }
  void WriteInteger(const std::string& key, int16_t value, const std::string&) override {
    Store(key, std::to_string(value));
  }
  void WriteLong(const std::string& key, int32_t value, const std::string&) override { Store(key, std::to_string(value)); }
  void WriteString(const std::string& key, const std::string& value) override { Store(key, value); }

 private:
  static std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
  }
  const std::string* Find(const std::string& key) const {
    const auto section = values_.find(section_);
    if (section == values_.end()) return nullptr;
    const auto entry = section->second.find(Lower(key));
    return entry == section->second.end() ? nullptr : &entry->second;
  }
  void Store(const std::string& key, const std::string& value) { values_[section_][Lower(key)] = value; }

  std::string section_;
  std::map<std::string, std::map<std::string, std::string>> values_;
};

}  // namespace kivotool

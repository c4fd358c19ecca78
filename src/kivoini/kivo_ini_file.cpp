// SPDX-License-Identifier: MIT
// The settings-file component: typed values in sections of a file, read afresh on every read and
// written through at every write.
#include "kivocom/kivo_ini_file.h"

#include <limits>

#include "kivocom/error.h"
#include "kivoini/kivo_ini_document.h"
#include "kivoini/kivo_ini_storage.h"
#include "kivoini/kivo_ini_values.h"

namespace kivocom {
namespace {

std::string SourceOf(const char* member) { return std::string("KivoINIFile - ") + member; }

void RaiseBadArgument(const std::string& problem, const std::string& source) {
  throw Error(kErrIniBadArgument, source, "Cannot use this in a settings file: " + problem + ".");
}

template <class Integer>
bool ReadIntegerValue(const std::optional<std::string>& text, Integer& value) {
  if (!text) return false;
  const auto number = ParseIniInteger(*text, std::numeric_limits<Integer>::min(),
                                      std::numeric_limits<Integer>::max());
  if (!number) return false;
  value = static_cast<Integer>(*number);
  return true;
}

}  // namespace

void KivoINIFile::FileName(const std::string& fileName) {
  if (fileName.empty()) throw Error(kErrIniBadFileName, SourceOf("FileName"), "No settings file name was given.");
  fileName_ = fileName;
}

void KivoINIFile::Section(const std::string& section) {
  if (const std::string problem = IniSectionProblem(section); !problem.empty())
    RaiseBadArgument(problem, SourceOf("Section"));
  section_ = section;
}

bool KivoINIFile::ReadBoolean(const std::string& key, bool& value) {
  const auto text = Lookup(key, "ReadBoolean");
  const auto flag = text ? ParseIniBoolean(*text) : std::nullopt;
  if (!flag) return false;
  value = *flag;
  return true;
}

bool KivoINIFile::ReadInteger(const std::string& key, int16_t& value) {
  return ReadIntegerValue(Lookup(key, "ReadInteger"), value);
}

bool KivoINIFile::ReadLong(const std::string& key, int32_t& value) {
  return ReadIntegerValue(Lookup(key, "ReadLong"), value);
}

bool KivoINIFile::ReadString(const std::string& key, std::string& value) {
  auto text = Lookup(key, "ReadString");
  if (!text) return false;
  value = std::move(*text);
  return true;
}

void KivoINIFile::WriteBoolean(const std::string& key, bool value) {
  Store(key, FormatIniBoolean(value), "WriteBoolean");
}

void KivoINIFile::WriteInteger(const std::string& key, int16_t value, const std::string&) {
  Store(key, std::to_string(value), "WriteInteger");
}

void KivoINIFile::WriteLong(const std::string& key, int32_t value, const std::string&) {
  Store(key, std::to_string(value), "WriteLong");
}

void KivoINIFile::WriteString(const std::string& key, const std::string& value) {
  if (const std::string problem = IniValueProblem(value); !problem.empty())
    RaiseBadArgument(problem, SourceOf("WriteString"));
  Store(key, value, "WriteString");
}

// Checks that a file and a section are named and that `key` can name an entry.
void KivoINIFile::CheckTarget(const std::string& key, const std::string& source) const {
  if (fileName_.empty()) throw Error(kErrIniBadFileName, source, "No settings file name was given.");
  if (section_.empty()) RaiseBadArgument("no section was named", source);
  if (const std::string problem = IniKeyProblem(key); !problem.empty()) RaiseBadArgument(problem, source);
}

std::optional<std::string> KivoINIFile::Lookup(const std::string& key, const char* member) const {
  const std::string source = SourceOf(member);
  CheckTarget(key, source);
  const auto text = LoadSettingsText(fileName_, source);
  if (!text) return std::nullopt;
  const auto value = FindIniValue(*text, section_, key);
  if (!value) return std::nullopt;
  return std::string(*value);
}

void KivoINIFile::Store(const std::string& key, const std::string& text, const char* member) {
  const std::string source = SourceOf(member);
  CheckTarget(key, source);
  EditSettingsFile(
      fileName_, [&](const std::string& old) { return SetIniValue(old, section_, key, text); }, source);
}

}  // namespace kivocom

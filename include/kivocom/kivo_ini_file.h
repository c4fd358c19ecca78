// SPDX-License-Identifier: MIT
// KivoINIFile: the settings-file component. It keeps typed values under keys in named sections of
// a plain-text settings file that may also hold the client's own sections and be edited by hand.
//
// The file: "[Section]" headers and "key=value" lines, as Windows profile files have them.
// - Section and key names match without regard to (ASCII) case; blanks around names and values are
//   ignored, so a text written with blanks at its ends reads back without them. There are no
//   comments after a value: "Port=3 ; COM3" holds the text "3 ; COM3", which is not a number.
// - Comment lines start with ";" or "#". Lines that are not headers or entries are kept as they are.
// - Integers are plain decimal ("-1", "9600"). Booleans are written "True" or "False"; reading also
//   takes any case of those and -1, 0 or 1. A value that is not a valid number of the asked type,
//   or is out of its range, reads as not found.
// - The first entry of a key counts, also when the section appears more than once.
//
// Reading: every Read* call reads the file afresh; a missing file reads as an empty one.
// Writing: every Write* call reaches the disk at once. It changes only that one value: all other
// bytes (other sections, comments, blank lines, key order, CR LF or LF line ends) stay as they
// were. A new key goes after the last entry of its section, a new section at the end of the file.
// The new file is written beside the old one, flushed to disk and renamed over it in one step, with
// the old file's permissions, so a failed write leaves the old file as it was. Writers lock the
// file's folder around each read-modify-write, so two programs saving to one file lose no keys.
// A symbolic link is followed: the file it points to is replaced.
//
// Every member raises kivocom::Error (source "KivoINIFile - <member>") on failure: no file name or
// section, a name or value the file cannot hold, a folder or device where the file should be, no
// permission, a full disk, a file larger than 64 MiB. A file holding NUL bytes is not a text
// settings file: it can be read (its lines that make sense are found) but it is never written to.
// One object is used on one thread at a time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "kivocom/ini_file.h"

namespace kivocom {

// Error numbers KivoINIFile raises, the file-error numbers settings-file clients know.
inline constexpr int32_t kErrIniBadArgument = 5;        // a section, key or value the file cannot hold
inline constexpr int32_t kErrIniBadFileName = 52;       // no file name was given
inline constexpr int32_t kErrIniDeviceIO = 57;          // the device failed while reading or writing
inline constexpr int32_t kErrIniDiskFull = 61;          // no space left, quota or file-size limit reached
inline constexpr int32_t kErrIniPermissionDenied = 70;  // read-only file, folder or file system
inline constexpr int32_t kErrIniFileAccess = 75;        // not a settings file: a folder, device, binary
inline constexpr int32_t kErrIniPathNotFound = 76;      // the file's folder does not exist

class KivoINIFile : public IniFile {
 public:
  // An object with no file and no section named yet.
  KivoINIFile() = default;

  // Names the settings file (a path); raises kErrIniBadFileName when it is empty. Touches no file.
  void FileName(const std::string& fileName) override;
  // The file named last; empty before the first FileName.
  const std::string& FileName() const { return fileName_; }
  // Names the section the following reads and writes address; raises kErrIniBadArgument when it
  // is blank or holds "]", a line break or NUL.
  void Section(const std::string& section) override;
  // The section named last; empty before the first Section.
  const std::string& Section() const { return section_; }

  // True and `value` set when `key` holds True/False/-1/0/1; false, `value` untouched, otherwise.
  bool ReadBoolean(const std::string& key, bool& value) override;
  // True and `value` set when `key` holds a decimal integer from -32768 to 32767; false, `value`
  // untouched, otherwise.
  bool ReadInteger(const std::string& key, int16_t& value) override;
  // True and `value` set when `key` holds a decimal integer in the 32-bit range; false, `value`
  // untouched, otherwise.
  bool ReadLong(const std::string& key, int32_t& value) override;
  // True and `value` set to the text of `key` (without the blanks at its ends); false, `value`
  // untouched, when the key is not there.
  bool ReadString(const std::string& key, std::string& value);

  // Stores "True" or "False" under `key`.
  void WriteBoolean(const std::string& key, bool value) override;
  // Stores a 16-bit integer under `key` in decimal; `reserved` is ignored.
  void WriteInteger(const std::string& key, int16_t value, const std::string& reserved) override;
  // Stores a 32-bit integer under `key` in decimal; `reserved` is ignored.
  void WriteLong(const std::string& key, int32_t value, const std::string& reserved) override;
  // Stores a text under `key`; raises kErrIniBadArgument when it holds a line break or NUL.
  void WriteString(const std::string& key, const std::string& value) override;

 private:
  std::optional<std::string> Lookup(const std::string& key, const char* member) const;
  void Store(const std::string& key, const std::string& text, const char* member);
  void CheckTarget(const std::string& key, const std::string& source) const;

  std::string fileName_;
  std::string section_;
};

}  // namespace kivocom

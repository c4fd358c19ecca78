// SPDX-License-Identifier: MIT
// A fixture for the settings operations of ports and switches: the in-memory line and recording
// message boxes of MemoryLineTest, a scratch folder with the client's settings file, and a
// component double that fails at a chosen key.
#pragma once

#include <memory>
#include <string>

#include "kivocom/error.h"
#include "kivocom/kivo_ini_file.h"
#include "support/memory_line.h"
#include "support/scratch_folder.h"

namespace kivocom {

inline constexpr const char* kMissingKeysPrompt = "Unable to successfully read settings from file.";

class SettingsFileTest : public MemoryLineTest {
 protected:
  // The prompt of box `i`, or a note that there is none.
  std::string Prompt(std::size_t i = 0) const {
    return i < messages->boxes.size() ? messages->boxes[i].prompt : "(no box " + std::to_string(i) + ")";
  }
  // A component of the caller's own for `file`.
  static std::shared_ptr<KivoINIFile> Component(const std::string& file) {
    auto ini = std::make_shared<KivoINIFile>();
    ini->FileName(file);
    return ini;
  }

  ScratchFolder scratch;
  std::string path = scratch.Path("client.ini");
  std::shared_ptr<IniFile> none;  // an empty reference, filled and emptied again by each operation
};

// A file-backed component whose writes fail from key `failAt` on, as a full disk would.
class FailingIniFile : public KivoINIFile {
 public:
  explicit FailingIniFile(std::string failAt) : failAt_(std::move(failAt)) {}
  void WriteBoolean(const std::string& key, bool value) override {
    Check(key);
    KivoINIFile::WriteBoolean(key, value);
  }
  void WriteInteger(const std::string& key, int16_t value, const std::string& reserved) override {
    Check(key);
    KivoINIFile::WriteInteger(key, value, reserved);
  }
  void WriteLong(const std::string& key, int32_t value, const std::string& reserved) override {
    Check(key);
    KivoINIFile::WriteLong(key, value, reserved);
  }
  void WriteString(const std::string& key, const std::string& value) override {
    Check(key);
    KivoINIFile::WriteString(key, value);
  }

 private:
  void Check(const std::string& key) {
    failing_ = failing_ || key == failAt_;
    if (failing_) throw Error(kErrIniDiskFull, "KivoINIFile - Write", "No space left on device.");
  }
  std::string failAt_;
  bool failing_ = false;
};

}  // namespace kivocom

// SPDX-License-Identifier: MIT
// What the settings operations of the port and the switch share: the component they work
// through, the caller's or one made for the call.
#pragma once

#include <memory>
#include <string>

#include "kivocom/kivo_ini_file.h"

namespace kivocom {

// The component of one WriteToFile or ReadFromFile call. An empty caller's reference gets a new
// KivoINIFile for `fname`; that one is released, and the caller's reference emptied again, when
// the call ends, on every path. A caller's own component stays with the caller.
class SettingsComponent {
 public:
  explicit SettingsComponent(std::shared_ptr<IniFile>& reference) : reference_(reference) {}
  ~SettingsComponent() {
    if (created_) reference_.reset();
  }
  SettingsComponent(const SettingsComponent&) = delete;
  SettingsComponent& operator=(const SettingsComponent&) = delete;

  // Creates the component and names its file when the caller gave none; `fname` is ignored
  // otherwise.
  void Open(const std::string& fname) {
    if (reference_) return;
    reference_ = std::make_shared<KivoINIFile>();
    created_ = true;
    reference_->FileName(fname);
  }
  IniFile* operator->() const { return reference_.get(); }

 private:
  std::shared_ptr<IniFile>& reference_;
  bool created_ = false;
};

}  // namespace kivocom

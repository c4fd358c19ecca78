// SPDX-License-Identifier: MIT
// The COM port Wine shows for the simulator's pseudo-terminal: a link named com<N> in the Wine
// prefix's dosdevices folder, claimed for the first free N from 100 up so that it never takes a
// number a user or another simulator has.
#pragma once

#include <string>

namespace kivocom {

class ComPortLink {
 public:
  // Links the first free com<N> of the prefix (WINEPREFIX, else ~/.wine) to `devicePath`; raises
  // kivocom::Error 8012 when the prefix has no dosdevices folder or no number is free.
  explicit ComPortLink(const std::string& devicePath);
  // Removes the link.
  ~ComPortLink();
  ComPortLink(const ComPortLink&) = delete;
  ComPortLink& operator=(const ComPortLink&) = delete;

  // The N of COM<N>.
  int Number() const { return number_; }

 private:
  int number_ = 0;
  std::string linkPath_;
};

}  // namespace kivocom

// SPDX-License-Identifier: MIT
#include "instruments/command_assembler.h"

#include "instruments/control_chars.h"
#include "instruments/omega_frame.h"

namespace kivocom {
namespace {

// Far longer than any instrument command: a line that runs on without CR is garbage, and what was
// collected of it is forgotten rather than kept without bound.
constexpr std::size_t kLongestCommand = 4096;

}  // namespace

std::optional<std::string> CommandAssembler::Feed(char byte) {
  if (checkNext_) {
    checkNext_ = false;
    if (byte != ctl::kCr || expectedCheck_ == ctl::kCr) {
      command_ += byte;
      return std::nullopt;
    }
  }
  if (byte == ctl::kCr) {
    std::string done;
    done.swap(command_);
    return done;
  }
  if (byte == ctl::kLf && command_.empty()) return std::nullopt;
  if (command_.size() >= kLongestCommand) Reset();
  command_ += byte;
  if (byte == ctl::kEtx && command_.front() == ctl::kEot) {
    const auto stx = command_.find(ctl::kStx);
    if (stx != std::string::npos) {
      checkNext_ = true;
      expectedCheck_ = BlockCheck(command_.substr(stx + 1));
    }
  }
  return std::nullopt;
}

void CommandAssembler::Reset() {
  command_.clear();
  checkNext_ = false;
}

}  // namespace kivocom

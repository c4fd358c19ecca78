// SPDX-License-Identifier: MIT
// Lines that echo what they are sent (half-duplex adapters, some converters and instruments)
// give back the command before its answer. The echo is told from the answer by its bytes: the
// command exactly as it went out, perhaps after the echo of the lone CR that precedes it.
#pragma once

#include <string>

namespace kivocom {

class EchoFilter {
 public:
  // `line` is the command as it went on the line, final CR included.
  explicit EchoFilter(std::string line = "");

  // Returns what of `piece` is not the echo. Bytes that may still turn out to be the echo are
  // held back until the following ones decide it.
  std::string Pass(const std::string& piece);
  // Hands over the bytes held back when no more are coming: they were not a whole echo.
  std::string Release();

 private:
  enum class Match { Whole, Partly, No };
  Match Against(const std::string& echo) const;

  std::string line_;
  std::string held_;
  bool decided_ = false;
};

}  // namespace kivocom

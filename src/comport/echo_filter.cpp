// SPDX-License-Identifier: MIT
#include "comport/echo_filter.h"

#include <algorithm>
#include <utility>

namespace kivocom {

EchoFilter::EchoFilter(std::string line) : line_(std::move(line)), decided_(line_.empty()) {}

EchoFilter::Match EchoFilter::Against(const std::string& echo) const {
  const std::size_t common = std::min(echo.size(), held_.size());
  if (held_.compare(0, common, echo, 0, common) != 0) return Match::No;
  return held_.size() >= echo.size() ? Match::Whole : Match::Partly;
}

// The longer echo (with the lone CR's) is tried first, so that its CR is not taken for an answer.
std::string EchoFilter::Pass(const std::string& piece) {
  if (decided_) return piece;
  held_ += piece;
  bool pending = false;
  for (const std::string& echo : {"\r" + line_, line_}) {
    switch (Against(echo)) {
      case Match::Whole:
        decided_ = true;
        return std::exchange(held_, {}).substr(echo.size());
      case Match::Partly: pending = true; break;
      case Match::No: break;
    }
    if (pending) return "";
  }
  decided_ = true;
  return std::exchange(held_, {});
}

std::string EchoFilter::Release() {
  decided_ = true;
  return std::exchange(held_, {});
}

}  // namespace kivocom

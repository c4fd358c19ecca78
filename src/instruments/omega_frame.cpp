// SPDX-License-Identifier: MIT
#include "instruments/omega_frame.h"

#include "instruments/control_chars.h"

namespace kivocom {
namespace {

OmegaFrame DecodeSetFrame(const std::string& rest) {
  const auto etx = rest.find(ctl::kEtx, 1);
  if (etx == std::string::npos || etx + 2 < rest.size()) return {OmegaFrame::Kind::Malformed, {}, 0, std::nullopt};
  const std::string checked = rest.substr(1, etx);  // command, value and ETX
  OmegaFrame frame{OmegaFrame::Kind::Set, rest.substr(1, etx - 1), BlockCheck(checked), std::nullopt};
  if (etx + 1 < rest.size()) frame.sentCheck = rest[etx + 1];
  if (frame.sentCheck != frame.rightCheck) frame.kind = OmegaFrame::Kind::BadCheck;
  return frame;
}

// Whether `frame` holds a pair of equal characters, neither a framing character, at `at`.
bool PairAt(const std::string& frame, std::size_t at) {
  return at + 1 < frame.size() && frame[at] == frame[at + 1] && frame[at] != ctl::kStx && frame[at] != ctl::kEnq &&
         frame[at] != ctl::kEtx;
}

}  // namespace

std::string DoubledAddress(const std::string& address) {
  std::string doubled;
  for (std::size_t i = 0; i < address.size() && i < 2; ++i) doubled.append(2, address[i]);
  return doubled;
}

std::optional<std::string> FrameAddress(const std::string& frame) {
  if (frame.empty() || frame.front() != ctl::kEot) return std::nullopt;
  if (PairAt(frame, 1) && PairAt(frame, 3)) return std::string{frame[1], frame[3]};
  if (PairAt(frame, 1)) return std::string(1, frame[1]);
  return std::string();
}

char BlockCheck(const std::string& text) {
  char check = 0;
  for (char c : text) check = static_cast<char>(check ^ c);
  return check;
}

std::optional<OmegaFrame> DecodeOmegaFrame(const std::string& command, const std::string& address) {
  const std::string head = ctl::kEot + DoubledAddress(address);
  if (command.size() < head.size() || command.compare(0, head.size(), head) != 0) return std::nullopt;
  const std::string rest = command.substr(head.size());
  if (!rest.empty() && rest.front() == ctl::kStx) return DecodeSetFrame(rest);
  if (!rest.empty() && rest.back() == ctl::kEnq) {
    return OmegaFrame{OmegaFrame::Kind::Poll, rest.substr(0, rest.size() - 1), 0, std::nullopt};
  }
  return OmegaFrame{OmegaFrame::Kind::Malformed, {}, 0, std::nullopt};
}

}  // namespace kivocom

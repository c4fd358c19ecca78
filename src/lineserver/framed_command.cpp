// SPDX-License-Identifier: MIT
// Only the shape is read here; the check that the port frames the command again to the very same
// bytes is made with the port's own framing, so no second copy of the frame rules is needed.
#include "lineserver/framed_command.h"

#include "comport/command_frame.h"
#include "instruments/control_chars.h"

namespace kivocom {
namespace {

using namespace ctl;

// EOT, up to two doubled address characters, then a poll body ending in ENQ or a set frame
// STX ... ETX check. Where a command starts with a doubled character the split is ambiguous, but
// every split frames to the same bytes.
std::optional<FramedCommand> ReadOmegaFrame(const std::string& frame) {
  if (frame.size() < 2 || frame[0] != kEot) return std::nullopt;
  FramedCommand read;
  std::size_t at = 1;
  while (read.address.size() < 2 && at + 1 < frame.size() && frame[at] == frame[at + 1] && frame[at] != kStx) {
    read.address += frame[at];
    at += 2;
  }
  if (frame.back() == kEnq) {
    read.cmd = frame.substr(at, frame.size() - 1 - at);
    return read;
  }
  // Set: STX, body, ETX, block check; the body goes out as command and value, split anywhere
  // with a value of at least one character.
  if (frame.size() < at + 4 || frame[at] != kStx || frame[frame.size() - 2] != kEtx) return std::nullopt;
  const std::string body = frame.substr(at + 1, frame.size() - at - 3);
  read.cmd = body.substr(0, body.size() - 1);
  read.setStr = body.substr(body.size() - 1);
  return read;
}

}  // namespace

std::optional<FramedCommand> ReadFramedCommand(EControllerStyle style, const std::string& frame) {
  std::optional<FramedCommand> read;
  if (style == CS_OMEGA)
    read = ReadOmegaFrame(frame);
  else if (style == CS_KIVO || style == CS_AZONIX || style == CS_XSYS)
    read = FramedCommand{frame, "", ""};
  if (!read) return std::nullopt;
  if (LineText(FrameCommand(style, read->cmd, read->address, read->setStr)) != frame) return std::nullopt;
  return read;
}

}  // namespace kivocom

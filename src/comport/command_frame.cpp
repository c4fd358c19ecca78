// SPDX-License-Identifier: MIT
#include "comport/command_frame.h"

#include "comport/line_ends.h"

namespace kivocom {
namespace {

constexpr char STX = 0x02, ETX = 0x03, EOT = 0x04, ENQ = 0x05;

// The first character of the address twice, then the second twice; later characters are unused.
std::string DoubledAddress(const std::string& address) {
  std::string doubled;
  for (std::size_t i = 0; i < address.size() && i < 2; ++i) doubled += std::string(2, address[i]);
  return doubled;
}

// Exclusive OR of every byte of cmd, setStr and the ETX.
char BlockCheck(const std::string& cmd, const std::string& setStr) {
  unsigned char check = ETX;
  for (unsigned char c : cmd + setStr) check ^= c;
  return static_cast<char>(check);
}

}  // namespace

CommandFrame FrameCommand(EControllerStyle style, const std::string& cmd, const std::string& address,
                          const std::string& setStr) {
  switch (style) {
    case CS_KIVO:
    case CS_AZONIX:
    case CS_XSYS:
      return {cmd, false};
    case CS_OMEGA:
      if (setStr.empty()) return {EOT + DoubledAddress(address) + cmd + ENQ, false};
      return {EOT + DoubledAddress(address) + STX + cmd + setStr + ETX + BlockCheck(cmd, setStr), true};
  }
  return {"", false};
}

std::string LineText(const CommandFrame& frame) {
  if (!frame.endsInBlockCheck || frame.text.empty()) return TrimBlanks(frame.text);
  return TrimBlanks(frame.text.substr(0, frame.text.size() - 1)) + frame.text.back();
}

}  // namespace kivocom

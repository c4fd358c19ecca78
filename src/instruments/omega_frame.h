// SPDX-License-Identifier: MIT
// Decoding of CS_OMEGA frames as an addressed instrument reads them:
//   poll: EOT, doubled address, command, ENQ
//   set:  EOT, doubled address, STX, command and value, ETX, block check
// The doubled address is the address's first character twice, then its second twice; the block
// check is the exclusive OR of every byte after STX up to and including ETX.
#pragma once

#include <optional>
#include <string>

namespace kivocom {

struct OmegaFrame {
  enum class Kind {
    Poll,      // asks for the value of `body`
    Set,       // `body` holds the command followed by the value to store; its check was good
    BadCheck,  // a set frame whose block check is wrong or missing
    Malformed  // addressed to the instrument but of no known shape
  };
  Kind kind;
  std::string body;  // the command (poll) or command and value (set, bad check); empty otherwise
  char rightCheck = 0;            // set frames: the block check their body and ETX call for
  std::optional<char> sentCheck;  // set frames: the block check they carried; none when missing
};

// The address as it travels in a frame.
std::string DoubledAddress(const std::string& address);

// The address a frame carries, read from its doubling: two pairs (such as 0011 for 01), else one
// pair, else none; no value when `frame` does not start with EOT.
std::optional<std::string> FrameAddress(const std::string& frame);

// The exclusive OR of the bytes of `text`.
char BlockCheck(const std::string& text);

// `command` read by the instrument at `address`; no value when it is no frame for that address.
std::optional<OmegaFrame> DecodeOmegaFrame(const std::string& command, const std::string& address);

}  // namespace kivocom

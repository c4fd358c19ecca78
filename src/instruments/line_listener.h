// SPDX-License-Identifier: MIT
// What a program sends down a line, as a smart switch and the instruments behind it hear it: the
// switch's selections and releases, and the commands cut at CR (the lone CR before each command
// is an empty command). The switch's and the instruments' own decoders do the reading.
//
// When the switch model is not given it is found from the traffic: every model is listened for
// at once until one of them hears a selection or a release, and from then on only that one. A
// program that routes through a switch releases it before each selection, and the release tells
// the black-box models apart (ESC STX EOT for bb4, ESC STX STX EOT for bb8).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "kivocom/enums.h"
#include "instruments/command_assembler.h"
#include "instruments/switch_decoder.h"

namespace kivocom {

class LineListener {
 public:
  // One thing heard.
  struct Heard {
    enum class Kind { Command, Select, Release };
    Kind kind;
    std::string text;  // the command without its CR, or the switch port selected
  };

  // Listens for switch sequences of `model` only, or of every model until one is heard; a listener
  // made with NoSwitch() hears commands alone.
  explicit LineListener(std::optional<ESmartSwitchStyle> model = std::nullopt);
  static LineListener NoSwitch();

  // Takes the next byte the program sent; returns what it completed, in order.
  std::vector<Heard> Feed(char byte);
  // The switch model heard or given; no value while none is known.
  std::optional<ESmartSwitchStyle> Model() const;

 private:
  struct Lane {
    std::optional<ESmartSwitchStyle> model;
    std::optional<SwitchDecoder> decoder;
    CommandAssembler assembler;
  };
  static std::vector<Heard> FeedLane(Lane& lane, char byte);

  std::vector<Lane> lanes_;
  bool settled_ = false;  // one lane is left
};

}  // namespace kivocom

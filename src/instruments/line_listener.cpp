// SPDX-License-Identifier: MIT
#include "instruments/line_listener.h"

#include <algorithm>

namespace kivocom {
namespace {

bool HeardSwitch(const std::vector<LineListener::Heard>& heard) {
  return std::any_of(heard.begin(), heard.end(),
                     [](const LineListener::Heard& h) { return h.kind != LineListener::Heard::Kind::Command; });
}

}  // namespace

LineListener::LineListener(std::optional<ESmartSwitchStyle> model) {
  if (model) {
    lanes_.push_back({model, SwitchDecoder(*model), {}});
    settled_ = true;
    return;
  }
  // In this order on a tie: a bb8 selection of a one-character port also reads as a bb4 port "0X".
  for (ESmartSwitchStyle each : {SSS_BB8PORT, SSS_BB4PORT, SSS_BT528AP}) lanes_.push_back({each, SwitchDecoder(each), {}});
}

LineListener LineListener::NoSwitch() {
  LineListener listener;
  listener.lanes_.assign(1, Lane{});
  listener.settled_ = true;
  return listener;
}

std::vector<LineListener::Heard> LineListener::Feed(char byte) {
  if (settled_) return FeedLane(lanes_.front(), byte);
  std::vector<std::vector<Heard>> heard;
  for (Lane& lane : lanes_) heard.push_back(FeedLane(lane, byte));
  for (std::size_t i = 0; i < lanes_.size(); ++i) {
    if (!HeardSwitch(heard[i])) continue;
    Lane chosen = std::move(lanes_[i]);
    lanes_.assign(1, std::move(chosen));
    settled_ = true;
    return heard[i];
  }
  // Until a switch is heard every lane passes the same bytes on; the first one speaks for all.
  return heard.front();
}

std::optional<ESmartSwitchStyle> LineListener::Model() const {
  if (!settled_) return std::nullopt;
  return lanes_.front().model;
}

std::vector<LineListener::Heard> LineListener::FeedLane(Lane& lane, char byte) {
  std::vector<Heard> heard;
  const auto assemble = [&](char passed) {
    if (auto command = lane.assembler.Feed(passed)) heard.push_back({Heard::Kind::Command, *command});
  };
  if (!lane.decoder) {
    assemble(byte);
    return heard;
  }
  const SwitchDecoder::Step step = lane.decoder->Feed(byte);
  for (char passed : step.passOn) assemble(passed);
  if (step.connect) {
    lane.assembler.Reset();
    heard.push_back({step.connect->empty() ? Heard::Kind::Release : Heard::Kind::Select, *step.connect});
  }
  return heard;
}

}  // namespace kivocom

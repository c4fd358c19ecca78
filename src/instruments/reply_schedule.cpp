// SPDX-License-Identifier: MIT
#include "instruments/reply_schedule.h"

#include <algorithm>

namespace kivocom {

void ReplySchedule::Plan(const Transmission& transmission, const Pace& pace) {
  Clock::time_point at = std::max(pace.earliestStart, lineFreeAt_);
  int64_t budget = pace.unplugAfter;
  for (std::size_t i = 0; i < transmission.pieces.size() && budget != 0; ++i) {
    if (i > 0 && i <= transmission.pieceGaps.size()) at += transmission.pieceGaps[i - 1];
    else if (i > 0) at += transmission.gap;
    std::string piece = transmission.pieces[i];
    if (budget > 0 && static_cast<uint64_t>(budget) < piece.size()) piece.resize(static_cast<std::size_t>(budget));
    if (budget > 0) budget -= static_cast<int64_t>(piece.size());
    PlanPiece(piece, at, pace);
  }
  if (pace.unplugAfter >= 0) emissions_.push_back({at, {}, true});
  lineFreeAt_ = at;
}

void ReplySchedule::PlanPiece(const std::string& piece, Clock::time_point& at, const Pace& pace) {
  if (!pace.paced) {
    emissions_.push_back({at, piece, false});
    return;
  }
  for (char byte : piece) {
    emissions_.push_back({at, std::string(1, byte), false});
    at += pace.characterTime;
  }
}

std::optional<ReplySchedule::Clock::time_point> ReplySchedule::NextDue() const {
  if (emissions_.empty()) return std::nullopt;
  return emissions_.front().due;
}

ReplySchedule::Due ReplySchedule::TakeDue(Clock::time_point now) {
  Due due;
  while (!emissions_.empty() && emissions_.front().due <= now && !due.unplug) {
    due.bytes += emissions_.front().bytes;
    due.unplug = emissions_.front().unplug;
    emissions_.pop_front();
  }
  return due;
}

void ReplySchedule::PutBack(Due rest) {
  // Due at the clock's epoch: long overdue, so it goes before anything else.
  if (rest.unplug) emissions_.push_front({Clock::time_point{}, {}, true});
  if (!rest.bytes.empty()) emissions_.push_front({Clock::time_point{}, std::move(rest.bytes), false});
}

void ReplySchedule::Clear() {
  emissions_.clear();
  lineFreeAt_ = {};
}

}  // namespace kivocom

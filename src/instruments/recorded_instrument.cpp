// SPDX-License-Identifier: MIT
#include <algorithm>

#include "instruments/instrument_answer.h"

namespace kivocom {

std::optional<Transmission> AnswerFromRecord(RecordedAnswers& recording, const std::string& command) {
  const auto found = recording.answers.find(command);
  if (found == recording.answers.end() || found->second.empty()) return std::nullopt;
  std::size_t& given = recording.given[command];
  const RecordedAnswer& answer = found->second[std::min(given, found->second.size() - 1)];
  ++given;
  if (answer.bursts.empty()) return std::nullopt;
  Transmission transmission{answer.bursts, {}, answer.gaps, answer.delay};
  return transmission;
}

}  // namespace kivocom

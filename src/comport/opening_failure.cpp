// SPDX-License-Identifier: MIT
#include "comport/opening_failure.h"

namespace kivocom {

ErrorRecord& LastOpeningFailure() {
  thread_local ErrorRecord failure;
  return failure;
}

ErrorRecord OpeningFailure(const ErrorRecord& raised, const std::string& context) {
  ErrorRecord record = raised;
  const ErrorRecord& cause = LastOpeningFailure();
  if (raised.number == kErrCannotOpenPort && !cause.description.empty()) record.description = cause.description;
  if (!context.empty()) record.description = context + ": " + record.description;
  return record;
}

}  // namespace kivocom

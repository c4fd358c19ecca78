// SPDX-License-Identifier: MIT
#include "kivocom/error.h"

#include <utility>

namespace kivocom {

Error::Error(int32_t number, std::string source, std::string description)
    : Error(ErrorRecord{number, std::move(source), std::move(description), {}, 0}) {}

Error::Error(ErrorRecord record) : std::runtime_error(record.description), record_(std::move(record)) {}

}  // namespace kivocom

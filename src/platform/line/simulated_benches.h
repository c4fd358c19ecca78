// SPDX-License-Identifier: MIT
// The instruments of every sim:// device text the process has opened, kept for the next opening.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "kivocom/instrument_bench.h"

namespace kivocom {

// The instruments of `device`, set up at its first opening, held until ReturnSimulatedBench.
// Raises kivocom::Error with `source`: 8012 when `device` is not well formed, 8010 while held.
std::shared_ptr<InstrumentBench> TakeSimulatedBench(int32_t port, const std::string& device, const std::string& source);
// Lets the instruments of `device` go for the next opening.
void ReturnSimulatedBench(const std::string& device);
// Adds `bytes` to what the instruments of `device` heard.
void RecordSimulatedBenchHeard(const std::string& device, std::string_view bytes);

}  // namespace kivocom

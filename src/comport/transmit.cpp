// SPDX-License-Identifier: MIT
#include "comport/transmit.h"

#include <string>

#include "kivocom/clock.h"
#include "kivocom/error.h"

namespace kivocom {
namespace {
constexpr int64_t kDrainMarginMs = 1000;
}  // namespace

void WaitForTransmitDrain(SerialControl& control, const std::string& baudName, std::size_t bytes,
                          std::string_view source) {
  const int64_t baud = std::stoll(baudName);
  const int64_t lineTimeMs = static_cast<int64_t>(bytes) * 10 * 1000 / baud;
  const int64_t limitMs = 2 * lineTimeMs + kDrainMarginMs;
  Clock& clock = ThreadClock();
  const int64_t deadline = clock.NowMs() + limitMs;
  while (control.OutBufferCount() != 0) {
    const int64_t remaining = deadline - clock.NowMs();
    if (remaining <= 0)
      throw Error(kErrDrainTimeout, std::string(source),
                  "The serial line did not transmit " + std::to_string(bytes) + " bytes within " +
                      std::to_string(limitMs) + " ms; flow control or the device may be holding it.");
    control.WaitForDrain(remaining);
  }
}

}  // namespace kivocom

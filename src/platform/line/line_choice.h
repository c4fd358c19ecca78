// SPDX-License-Identifier: MIT
// The source of the platform's serial control: each opening reaches the line the port number's
// mapping names, a local serial device, a network port (rfc2217:// or tcp://) or instruments
// simulated in the process (sim://), through the driver made for it, so the control's rules and the port objects never see the difference.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/line/line_source.h"
#include "platform/line/local_line.h"
#include "platform/line/simulated_line.h"
#include "platform/network/connection_hold.h"
#include "platform/network/network_line.h"

namespace kivocom {

class LineChoice : public LineSource {
 public:
  // Reaches local devices through `local`, this system's own driver.
  explicit LineChoice(std::unique_ptr<LocalLine> local);

  std::string Device(int32_t port) override;
  void Check(int32_t port, const LineSettings& settings, const std::string& text, const std::string& source) override;
  LineDriver& Open(int32_t port, const LineSettings& settings, const std::string& text,
                   const std::string& source) override;
  void Close() override;

 private:
  LineDriver& OpenNetworkLine(const std::string& device, int32_t port, const LineSettings& settings,
                              const std::string& text, const std::string& source);

  std::unique_ptr<LocalLine> local_;
  bool localOpen_ = false;
  std::unique_ptr<NetworkLine> network_;  // the network connection of the opening, while open
  std::unique_ptr<SimulatedLine> simulated_;  // the simulated instruments of the opening, while open
  ConnectionHold closed_;  // the network connection last closed, for the next opening
};

}  // namespace kivocom

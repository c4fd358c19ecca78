// SPDX-License-Identifier: MIT
// A serial control on one network port, whatever port number it is given: the line core over
// a source that always opens that port.
#include <utility>

#include "platform/line/line_core.h"
#include "platform/network/network_line.h"

namespace kivocom {
namespace {

class NetworkPortSource : public LineSource {
 public:
  NetworkPortSource(std::string device, int64_t replyTimeoutMs)
      : device_(std::move(device)), replyTimeoutMs_(replyTimeoutMs) {}

  std::string Device(int32_t) override { return device_; }
  void Check(int32_t, const LineSettings&, const std::string&, const std::string&) override {}

  LineDriver& Open(int32_t port, const LineSettings& settings, const std::string& text,
                   const std::string& source) override {
    auto line = std::make_unique<NetworkLine>(device_, port, replyTimeoutMs_);
    line->Open(settings, text, source);
    line_ = std::move(line);
    return *line_;
  }

  void Close() override {
    if (line_) line_->Close();
    line_.reset();
  }

 private:
  const std::string device_;
  const int64_t replyTimeoutMs_;
  std::unique_ptr<NetworkLine> line_;
};

}  // namespace

std::unique_ptr<SerialControl> CreateNetworkSerialControl(std::string device, int32_t port, const std::string& settings,
                                                          int64_t replyTimeoutMs) {
  auto control = std::make_unique<LineCore>(std::make_unique<NetworkPortSource>(std::move(device), replyTimeoutMs));
  control->CommPort(port);
  control->Settings(settings);
  return control;
}

}  // namespace kivocom

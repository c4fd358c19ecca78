// SPDX-License-Identifier: MIT
#include "simulator/host/host_session.h"

#include "simulator/host_protocol.h"

namespace kivocom {

std::string HostSession::Answer(const std::string& request) {
  try {
    WireReader reader(request);
    WireWriter results;
    results.U8(kReplyOk);
    Carry(reader, results);
    return results.Bytes();
  } catch (const Error& error) {
    return ErrorReply(error);
  }
}

void HostSession::Carry(WireReader& request, WireWriter& results) {
  const uint8_t code = request.U8();
  switch (static_cast<HostRequest>(code)) {
    case HostRequest::kSetBaudRate:
      engine_.SetBaudRate(request.I32());
      return;
    case HostRequest::kBaudRate:
      results.I32(engine_.BaudRate());
      return;
    case HostRequest::kAddInstrument: {
      SimulatedInstrument instrument = ReadInstrument(request);
      results.U64(engine_.AddInstrument(std::move(instrument), request.Text()));
      return;
    }
    case HostRequest::kReplaceInstrument: {
      const uint64_t id = request.U64();
      SimulatedInstrument replacement = ReadInstrument(request);
      engine_.ChangeInstrument(id, [&replacement](SimulatedInstrument& i) { i = std::move(replacement); });
      return;
    }
    case HostRequest::kInstrument:
      WriteInstrument(results, engine_.Instrument(request.U64()));
      return;
    case HostRequest::kUseSmartSwitch:
      engine_.SetSmartSwitch(static_cast<ESmartSwitchStyle>(request.I32()));
      return;
    case HostRequest::kRemoveSmartSwitch:
      engine_.SetSmartSwitch(std::nullopt);
      return;
    case HostRequest::kConnectedSwitchPort:
      results.Text(engine_.ConnectedSwitchPort());
      return;
    case HostRequest::kReceived:
      results.Text(engine_.Received());
      return;
    case HostRequest::kClearReceived:
      engine_.ClearReceived();
      return;
    case HostRequest::kWaitForCount: {
      const uint64_t count = request.U64();
      const std::chrono::milliseconds timeout(request.I64());
      results.Bool(engine_.WaitForReceived([count](const std::string& r) { return r.size() >= count; }, timeout));
      return;
    }
    case HostRequest::kWaitForSequence: {
      const std::string sequence = request.Text();
      const std::chrono::milliseconds timeout(request.I64());
      results.Bool(engine_.WaitForReceived(
          [&sequence](const std::string& r) { return r.find(sequence) != std::string::npos; }, timeout));
      return;
    }
    case HostRequest::kUnplug:
      engine_.Unplug();
      return;
    case HostRequest::kUnplugged:
      results.Bool(engine_.Unplugged());
      return;
  }
  throw Error(kErrInvalidPropertyValue, "InstrumentSimulator - Host",
              "The simulator host knows no request " + std::to_string(code) +
                  ": run the host built from the same sources as the program.");
}

}  // namespace kivocom

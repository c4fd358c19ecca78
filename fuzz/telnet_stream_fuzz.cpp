// SPDX-License-Identifier: MIT
// Fuzzes what a network port reads from a server: the Telnet stream reader (fed whole and cut in
// two at a place the input chooses, which must read the same), the option answers and the
// COM-port replies it yields, and the input read as a network device path.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/network/com_port_option.h"
#include "platform/network/network_address.h"
#include "platform/network/telnet_options.h"
#include "platform/network/telnet_reader.h"

namespace {

void Read(const std::string& stream, std::size_t cut, std::string& data, std::vector<kivocom::TelnetCommand>& commands) {
  kivocom::TelnetReader reader;
  reader.Feed(stream.substr(0, cut), data, commands);
  reader.Feed(stream.substr(cut), data, commands);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  const std::string stream(reinterpret_cast<const char*>(bytes), size);
  std::string whole;
  std::vector<kivocom::TelnetCommand> wholeCommands;
  Read(stream, stream.size(), whole, wholeCommands);
  std::string split;
  std::vector<kivocom::TelnetCommand> splitCommands;
  Read(stream, size == 0 ? 0 : bytes[0] % (size + 1), split, splitCommands);
  if (whole != split || wholeCommands.size() != splitCommands.size()) std::abort();
  kivocom::TelnetOptions options;
  options.Opening();
  for (const kivocom::TelnetCommand& command : wholeCommands) {
    if (command.payload.size() > kivocom::TelnetReader::kLongestPayload) std::abort();
    if (command.verb != kivocom::telnet::kSb) {
      const std::string answer = options.Answer(command.verb, command.option);
      if (!answer.empty() && answer.size() != 3) std::abort();
    } else if (const auto reply = kivocom::ReadComPortReply(command.payload)) {
      kivocom::ReplyValueText(reply->command, reply->value);
    }
  }
  std::string problem;
  kivocom::ReadNetworkAddress(stream, problem);
  return 0;
}

// SPDX-License-Identifier: MIT
// Fuzzes the simulator's ears, which hear whatever a program under test puts on the line: the
// command assembler, the omega frame decoder and the smart switch decoders of every model.
// Input: one byte choosing the switch model, two bytes of instrument address, then the line's
// bytes. Nothing may crash, and what a switch passes on is always part of what it heard.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "instruments/command_assembler.h"
#include "instruments/omega_frame.h"
#include "instruments/switch_decoder.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace kivocom;
  if (size < 3) return 0;
  const auto model = static_cast<ESmartSwitchStyle>(data[0] % 4);
  const std::string address(reinterpret_cast<const char*>(data) + 1, 2);
  const std::string line(reinterpret_cast<const char*>(data) + 3, size - 3);
  SwitchDecoder decoder(model);
  CommandAssembler assembler;
  std::size_t passed = 0;
  for (char byte : line) {
    const SwitchDecoder::Step step = decoder.Feed(byte);
    passed += step.passOn.size();
    for (char on : step.passOn)
      if (auto command = assembler.Feed(on)) {
        if (auto frame = DecodeOmegaFrame(*command, address)) Require(frame->body.size() <= command->size());
      }
  }
  Require(passed <= line.size());
  return 0;
}

// SPDX-License-Identifier: MIT
// The simulator's C interface to a program's own answers: a C function asked before the reply
// table, so that bindings (the Python package's instrument definitions) decide what an instrument
// says while the simulator plays the line.
#include <optional>
#include <string>

#include "capi/c_call.h"
#include "simulator/sim_handle.h"

using kivocom::capi::Call;
using kivocom::capi::Required;

extern "C" {

int32_t kvc_sim_set_answer_function(kvc_sim* sim, size_t id, kvc_sim_answer_fn answer, void* user) {
  return Call("kvc_sim_set_answer_function", [&] {
    auto& simulator = Required(sim, "sim").simulator;
    decltype(kivocom::SimulatedInstrument::answer) function;
    if (answer != nullptr) {
      function = [answer, user](const std::string& command) -> std::optional<std::string> {
        const char* text = nullptr;
        size_t length = 0;
        if (answer(user, command.data(), command.size(), &text, &length) == 0) return std::nullopt;
        return text == nullptr ? std::string() : std::string(text, length);
      };
    }
    simulator.ChangeInstrument(id, [&](kivocom::SimulatedInstrument& i) { i.answer = function; });
  });
}

}  // extern "C"

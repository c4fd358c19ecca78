// SPDX-License-Identifier: MIT
// The simulator's C interface: a handle around InstrumentSimulator, run through the same call
// guard as the library's own C functions.
#include <chrono>
#include <optional>
#include <string>

#include "capi/c_call.h"
#include "kivocom/kivocom_sim_c.h"
#include "kivocom/simulator.h"
#include "simulator/sim_handle.h"


using kivocom::SimulatedInstrument;
using kivocom::capi::BoolOut;
using kivocom::capi::Call;
using kivocom::capi::Required;
using kivocom::capi::TextCall;
using kivocom::capi::TextIn;
using kivocom::capi::TextOut;

namespace {

kivocom::InstrumentSimulator& Simulator(kvc_sim* sim) { return Required(sim, "sim").simulator; }
const kivocom::InstrumentSimulator& Simulator(const kvc_sim* sim) { return Required(sim, "sim").simulator; }

// A text argument that may be absent: NULL is no value.
std::optional<std::string> OptionalText(const char* text, size_t length) {
  if (text == nullptr) return std::nullopt;
  return TextIn(text, length);
}

// Stores `value` (computed before the simulator is locked) into the member `field` of instrument `id`.
template <class Field, class Value>
int32_t Store(const char* function, kvc_sim* sim, size_t id, Field field, Value&& makeValue) noexcept {
  return Call(function, [&] {
    auto value = makeValue();
    Simulator(sim).ChangeInstrument(id, [&](SimulatedInstrument& i) { i.*field = value; });
  });
}

}  // namespace

extern "C" {

int32_t kvc_sim_behaviour_default(kvc_sim_behaviour* behaviour) {
  return Call("kvc_sim_behaviour_default", [&] {
    const kivocom::LineBehaviour defaults;
    Required(behaviour, "behaviour") = kvc_sim_behaviour{defaults.replyDelay.count(), BoolOut(defaults.paced),
                                                         defaults.pieceSize, static_cast<int32_t>(defaults.pieceGap.count()),
                                                         BoolOut(defaults.silent), defaults.unplugAfter,
                                                         BoolOut(defaults.echo)};
  });
}

int32_t kvc_sim_new(kvc_sim** sim) {
  if (sim != nullptr) *sim = nullptr;
  return Call("kvc_sim_new", [&] { Required(sim, "sim") = new kvc_sim(); });
}

void kvc_sim_free(kvc_sim* sim) { delete sim; }

int32_t kvc_sim_device_path(const kvc_sim* sim, char** text, size_t* text_len) {
  return TextCall("kvc_sim_device_path", text, text_len, [&] { return Simulator(sim).DevicePath(); });
}

int32_t kvc_sim_set_baud_rate(kvc_sim* sim, int32_t bits_per_second) {
  return Call("kvc_sim_set_baud_rate", [&] { Simulator(sim).SetBaudRate(bits_per_second); });
}

int32_t kvc_sim_get_baud_rate(const kvc_sim* sim, int32_t* bits_per_second) {
  return Call("kvc_sim_get_baud_rate", [&] { Required(bits_per_second, "bits_per_second") = Simulator(sim).BaudRate(); });
}

int32_t kvc_sim_add_instrument(kvc_sim* sim, int32_t style, const char* address, size_t address_len,
                               const char* switch_port, size_t switch_port_len, size_t* id) {
  return Call("kvc_sim_add_instrument", [&] {
    size_t& idOut = Required(id, "id");
    SimulatedInstrument instrument;
    instrument.style = static_cast<kivocom::EControllerStyle>(style);
    instrument.address = TextIn(address, address_len);
    idOut = Simulator(sim).AddInstrument(instrument, TextIn(switch_port, switch_port_len));
  });
}

int32_t kvc_sim_set_reply(kvc_sim* sim, size_t id, const char* command, size_t command_len, const char* reply,
                          size_t reply_len) {
  return Call("kvc_sim_set_reply", [&] {
    const std::string key = TextIn(command, command_len);
    const std::string value = TextIn(reply, reply_len);
    Simulator(sim).ChangeInstrument(id, [&](SimulatedInstrument& i) { i.replies[key] = value; });
  });
}

int32_t kvc_sim_get_reply(const kvc_sim* sim, size_t id, const char* command, size_t command_len, char** reply,
                          size_t* reply_len, int* found) {
  if (found != nullptr) *found = 0;
  if (reply != nullptr) *reply = nullptr;
  if (reply_len != nullptr) *reply_len = 0;
  return Call("kvc_sim_get_reply", [&] {
    int& foundOut = Required(found, "found");
    Required(reply, "reply");
    const SimulatedInstrument instrument = Simulator(sim).Instrument(id);
    const auto entry = instrument.replies.find(TextIn(command, command_len));
    if (entry == instrument.replies.end()) return;
    TextOut(entry->second, reply, reply_len);
    foundOut = 1;
  });
}

int32_t kvc_sim_set_default_reply(kvc_sim* sim, size_t id, const char* reply, size_t reply_len) {
  return Store("kvc_sim_set_default_reply", sim, id, &SimulatedInstrument::defaultReply,
               [&] { return OptionalText(reply, reply_len); });
}

int32_t kvc_sim_set_acknowledgement(kvc_sim* sim, size_t id, const char* text, size_t text_len) {
  return Store("kvc_sim_set_acknowledgement", sim, id, &SimulatedInstrument::setAcknowledgement,
               [&] { return OptionalText(text, text_len); });
}

int32_t kvc_sim_set_line_end(kvc_sim* sim, size_t id, const char* text, size_t text_len) {
  return Store("kvc_sim_set_line_end", sim, id, &SimulatedInstrument::lineEnd,
               [&] { return OptionalText(text, text_len); });
}

int32_t kvc_sim_set_behaviour(kvc_sim* sim, size_t id, const kvc_sim_behaviour* behaviour) {
  return Call("kvc_sim_set_behaviour", [&] {
    const kvc_sim_behaviour& b = Required(behaviour, "behaviour");
    kivocom::LineBehaviour line;
    line.replyDelay = std::chrono::microseconds(b.reply_delay_us);
    line.paced = b.paced != 0;
    line.pieceSize = b.piece_size;
    line.pieceGap = std::chrono::milliseconds(b.piece_gap_ms);
    line.silent = b.silent != 0;
    line.unplugAfter = b.unplug_after;
    line.echo = b.echo != 0;
    Simulator(sim).ChangeInstrument(id, [&](SimulatedInstrument& i) { i.behaviour = line; });
  });
}

int32_t kvc_sim_set_download(kvc_sim* sim, size_t id, const char* command, size_t command_len, int32_t count,
                             int binary, int32_t per_piece, int32_t gap_ms) {
  return Call("kvc_sim_set_download", [&] {
    kivocom::StoredReadings readings;
    readings.command = TextIn(command, command_len);
    readings.count = count;
    readings.binary = binary != 0;
    readings.readingsPerPiece = per_piece;
    readings.pieceGap = std::chrono::milliseconds(gap_ms);
    Simulator(sim).ChangeInstrument(id, [&](SimulatedInstrument& i) { i.download = readings; });
  });
}

int32_t kvc_sim_use_smart_switch(kvc_sim* sim, int32_t model) {
  return Call("kvc_sim_use_smart_switch",
              [&] { Simulator(sim).UseSmartSwitch(static_cast<kivocom::ESmartSwitchStyle>(model)); });
}

int32_t kvc_sim_remove_smart_switch(kvc_sim* sim) {
  return Call("kvc_sim_remove_smart_switch", [&] { Simulator(sim).RemoveSmartSwitch(); });
}

int32_t kvc_sim_connected_switch_port(const kvc_sim* sim, char** text, size_t* text_len) {
  return TextCall("kvc_sim_connected_switch_port", text, text_len, [&] { return Simulator(sim).ConnectedSwitchPort(); });
}

int32_t kvc_sim_received(const kvc_sim* sim, char** bytes, size_t* bytes_len) {
  return TextCall("kvc_sim_received", bytes, bytes_len, [&] { return Simulator(sim).Received(); });
}

int32_t kvc_sim_clear_received(kvc_sim* sim) {
  return Call("kvc_sim_clear_received", [&] { Simulator(sim).ClearReceived(); });
}

int32_t kvc_sim_wait_for_received(const kvc_sim* sim, const char* sequence, size_t sequence_len, int32_t timeout_ms,
                                  int* arrived) {
  if (arrived != nullptr) *arrived = 0;
  return Call("kvc_sim_wait_for_received", [&] {
    int& arrivedOut = Required(arrived, "arrived");
    arrivedOut = BoolOut(Simulator(sim).WaitForReceived(TextIn(sequence, sequence_len),
                                                        std::chrono::milliseconds(timeout_ms)));
  });
}

int32_t kvc_sim_unplug(kvc_sim* sim) {
  return Call("kvc_sim_unplug", [&] { Simulator(sim).Unplug(); });
}

int32_t kvc_sim_unplugged(const kvc_sim* sim, int* value) {
  return Call("kvc_sim_unplugged", [&] { Required(value, "value") = BoolOut(Simulator(sim).Unplugged()); });
}

}  // extern "C"

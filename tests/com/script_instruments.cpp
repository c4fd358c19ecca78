// SPDX-License-Identifier: MIT
// The instruments of the component's script suite: simulated instruments on this system's
// pseudo-terminals, for the runner to install as COM21 to COM23 of a Wine prefix, with what each
// one receives written to a record file the scripts read (hexadecimal, rewritten whenever it grows).
//
//   kivocom_com_instruments RECORD_FOLDER
//
// COM21: a CS_OMEGA instrument at address 01. COM22: a CS_KIVO instrument with a reply holding a
// byte above 127 and 20 stored readings (download command DL), silent to other commands. COM23: an
// eight-port smart switch with CS_KIVO instruments on its ports A and B. Prints one line
// "COM<n> <device>" for each, then "ready", and runs until it receives SIGTERM or SIGINT.
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "kivocom/simulator.h"

namespace {

using namespace kivocom;
using namespace std::chrono_literals;

volatile std::sig_atomic_t g_stop = 0;

SimulatedInstrument Instrument(EControllerStyle style, std::map<std::string, std::string> replies) {
  SimulatedInstrument instrument;
  instrument.style = style;
  instrument.replies = std::move(replies);
  return instrument;
}

std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string text;
  for (unsigned char c : bytes) {
    text += digits[c >> 4];
    text += digits[c & 15];
  }
  return text;
}

struct RecordedSimulator {
  std::string name;  // "com21"
  std::unique_ptr<InstrumentSimulator> sim;
  std::size_t written = 0;
};

void WriteRecord(const std::filesystem::path& folder, RecordedSimulator& simulators) {
  const std::string received = simulators.sim->Received();
  if (received.size() == simulators.written) return;
  const std::filesystem::path file = folder / (simulators.name + ".hex");
  const std::filesystem::path temporary = folder / (simulators.name + ".hex.new");
  std::ofstream(temporary, std::ios::trunc) << Hex(received);
  std::filesystem::rename(temporary, file);
  simulators.written = received.size();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: kivocom_com_instruments RECORD_FOLDER\n";
    return 64;
  }
  const std::filesystem::path records = argv[1];
  std::filesystem::create_directories(records);
  std::signal(SIGTERM, [](int) { g_stop = 1; });
  std::signal(SIGINT, [](int) { g_stop = 1; });

  std::vector<RecordedSimulator> simulators;
  auto add = [&](const std::string& name) -> InstrumentSimulator& {
    simulators.push_back({name, std::make_unique<InstrumentSimulator>()});
    return *simulators.back().sim;
  };

  SimulatedInstrument omega = Instrument(CS_OMEGA, {{"PV", "+0100.5"}});
  omega.address = "01";
  omega.setAcknowledgement.reset();
  add("com21").AddInstrument(omega);

  SimulatedInstrument kivo = Instrument(CS_KIVO, {{"ID", "KIVO SCRIPT INSTRUMENT"}, {"HI", "\xB0" "C 21.5"}});
  kivo.download = {"DL", 20, false, 5, 100ms};
  // Commands it does not know go unanswered, so a command sent without reading leaves no answer
  // behind for the next exchange.
  kivo.defaultReply.reset();
  add("com22").AddInstrument(kivo);

  InstrumentSimulator& switched = add("com23");
  switched.UseSmartSwitch(SSS_BB8PORT);
  switched.AddInstrument(Instrument(CS_KIVO, {{"ID", "INSTRUMENT A"}}), "A");
  switched.AddInstrument(Instrument(CS_KIVO, {{"ID", "INSTRUMENT B"}}), "B");

  for (RecordedSimulator& l : simulators) {
    std::ofstream(records / (l.name + ".hex"), std::ios::trunc);
    std::cout << "COM" << l.name.substr(3) << " " << l.sim->DevicePath() << "\n";
  }
  std::cout << "ready" << std::endl;

  while (!g_stop) {
    for (RecordedSimulator& l : simulators) WriteRecord(records, l);
    std::this_thread::sleep_for(10ms);
  }
  return 0;
}

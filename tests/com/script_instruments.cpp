// The instruments of the component's script suite: simulated instruments on this system's
// pseudo-terminals, linked as COM21 to COM23 of a Wine prefix, with what each one receives written
// to a record file the scripts read (hexadecimal, rewritten whenever it grows).
//
//   kivocom_com_instruments PREFIX RECORD_FOLDER
//
// COM21: a CS_OMEGA instrument at address 01. COM22: a CS_KIVO instrument with a reply holding a
// byte above 127 and 20 stored readings (download command DL). COM23: a four-port smart switch
// with CS_KIVO instruments on its ports A and B. Prints "ready" once the links are in place and
// runs until it receives SIGTERM or SIGINT.
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

struct LinkedSimulator {
  std::string name;  // "com21"
  std::unique_ptr<InstrumentSimulator> sim;
  std::size_t written = 0;
};

void WriteRecord(const std::filesystem::path& folder, LinkedSimulator& linked) {
  const std::string received = linked.sim->Received();
  if (received.size() == linked.written) return;
  const std::filesystem::path file = folder / (linked.name + ".hex");
  const std::filesystem::path temporary = folder / (linked.name + ".hex.new");
  std::ofstream(temporary, std::ios::trunc) << Hex(received);
  std::filesystem::rename(temporary, file);
  linked.written = received.size();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: kivocom_com_instruments PREFIX RECORD_FOLDER\n";
    return 64;
  }
  const std::filesystem::path devices = std::filesystem::path(argv[1]) / "dosdevices";
  const std::filesystem::path records = argv[2];
  std::filesystem::create_directories(records);
  std::signal(SIGTERM, [](int) { g_stop = 1; });
  std::signal(SIGINT, [](int) { g_stop = 1; });

  std::vector<LinkedSimulator> linked;
  auto add = [&](const std::string& name) -> InstrumentSimulator& {
    linked.push_back({name, std::make_unique<InstrumentSimulator>()});
    return *linked.back().sim;
  };

  SimulatedInstrument omega = Instrument(CS_OMEGA, {{"PV", "+0100.5"}});
  omega.address = "01";
  omega.setAcknowledgement.reset();
  add("com21").AddInstrument(omega);

  SimulatedInstrument kivo = Instrument(CS_KIVO, {{"ID", "KIVO SCRIPT INSTRUMENT"}, {"HI", "\xB0" "C 21.5"}});
  kivo.download = {"DL", 20, false, 5, 100ms};
  add("com22").AddInstrument(kivo);

  InstrumentSimulator& switched = add("com23");
  switched.UseSmartSwitch(SSS_BB4PORT);
  switched.AddInstrument(Instrument(CS_KIVO, {{"ID", "INSTRUMENT A"}}), "A");
  switched.AddInstrument(Instrument(CS_KIVO, {{"ID", "INSTRUMENT B"}}), "B");

  for (LinkedSimulator& l : linked) {
    std::filesystem::remove(devices / l.name);
    std::filesystem::create_symlink(l.sim->DevicePath(), devices / l.name);
    std::ofstream(records / (l.name + ".hex"), std::ios::trunc);
  }
  std::cout << "ready" << std::endl;

  while (!g_stop) {
    for (LinkedSimulator& l : linked) WriteRecord(records, l);
    std::this_thread::sleep_for(10ms);
  }
  for (LinkedSimulator& l : linked) std::filesystem::remove(devices / l.name);
  return 0;
}

// SPDX-License-Identifier: MIT
// simulate: a simulated instrument (or several behind a smart switch) on a pseudo-terminal, until
// Ctrl-C.
#include <iostream>
#include <map>
#include <memory>

#include "commands.h"
#include "exit_codes.h"
#include "kivocom/session_replay.h"
#include "kivocom/simulator.h"
#include "simulated_bench.h"
#include "tool_system.h"

namespace kivotool {
namespace {

using namespace kivocom;

struct SimulateOptions {
  std::string style = "kivo";
  std::string address = "01";
  std::string switchModel;
  int instruments = 2;
  int readings = 20;
  bool binary = false;
  int baud = 9600;
  std::string replay;
};

// What a replay set up, and how to reach it.
std::string DescribeReplay(const InstrumentSimulator& sim, const ReplayedSession& session, const std::string& file) {
  std::string ports;
  for (const std::string& port : session.switchPorts) ports += (ports.empty() ? "" : ", ") + port;
  return "Replaying " + std::to_string(session.exchanges) + " recorded exchanges of " + file + " on " +
         sim.DevicePath() + " at " + std::to_string(session.baudRate) + " baud" +
         (session.switchModel ? " behind a " + SwitchModelName(*session.switchModel) + " switch (ports " + ports + ")"
                              : std::string()) +
         ".\nMap it to a COM number for other terminals:\n  export KIVOCOM_COM9=" + sim.DevicePath() +
         "\nCtrl-C stops the simulator.\n";
}

void RunSimulate(const SimulateOptions& o) {
  // Before the simulator's thread starts, so that only the wait below receives Ctrl-C.
  HoldInterrupts();

  InstrumentSimulator sim;
  if (!o.replay.empty()) {
    const ReplayedSession session = ReplayRecordedSession(sim, o.replay);
    std::cout << DescribeReplay(sim, session, o.replay) << std::flush;
    WaitForInterrupt();
    std::cerr << "Stopped the simulator.\n";
    return;
  }
  sim.SetBaudRate(o.baud);
  const EControllerStyle style = StyleByName(o.style);
  if (o.switchModel.empty()) {
    sim.AddInstrument(SampleInstrument(style, o.address, 0, o.readings, o.binary));
  } else {
    const ESmartSwitchStyle model = SwitchModelByName(o.switchModel);
    sim.UseSmartSwitch(model);
    for (int i = 1; i <= o.instruments; ++i)
      sim.AddInstrument(SampleInstrument(style, o.address, i, o.readings, o.binary), SwitchPortName(model, i));
  }
  std::cout << DescribeSimulator(sim, o.style, o.address, o.switchModel, o.instruments, o.readings, o.binary) << std::flush;
  WaitForInterrupt();
  std::cerr << "Stopped the simulator.\n";
}

}  // namespace

void AddSimulateCommand(CLI::App& app) {
  auto o = std::make_shared<SimulateOptions>();
  CLI::App* simulate = app.add_subcommand("simulate", "run a simulated instrument on a pseudo-terminal until Ctrl-C");
  simulate->add_option("--style", o->style, "controller style of the instruments")
      ->check(CLI::IsMember({"kivo", "omega", "azonix", "xsys"}));
  simulate->add_option("--address,-a", o->address, "instrument address (omega style; default 01)");
  simulate->add_option("--switch", o->switchModel, "put the instruments behind a smart switch of this model")
      ->check(CLI::IsMember({"bb4", "bb8", "bt528"}));
  simulate->add_option("--instruments", o->instruments, "instruments behind the switch (default 2)")
      ->check(CLI::Range(1, 8));
  simulate->add_option("--readings,-n", o->readings, "readings stored for download (command DL; default 20)")
      ->check(CLI::NonNegativeNumber);
  simulate->add_flag("--binary", o->binary, "store binary records instead of text readings");
  simulate->add_option("--baud,-b", o->baud, "line speed the replies are paced at (default 9600)")
      ->check(CLI::PositiveNumber);
  simulate->add_option("--replay", o->replay, "play the instrument of a session `kivocom spy --record` kept "
                                             "(its speed and switch come from the record)");
  simulate->callback([o] { RunSimulate(*o); });
}

}  // namespace kivotool

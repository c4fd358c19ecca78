// SPDX-License-Identifier: MIT
// A simulated rack for the line server's tests and benchmark: a bb8 switch with eight kivo
// instruments on ports A to H, each answering every command with its own port's name and
// streaming 200 readings for DL. Prints the pseudo-terminal, then runs until its standard input
// closes. With --unplug-download, port H's adapter is pulled out partway through its download.
#include <cstring>
#include <iostream>
#include <string>

#include "kivocom/simulator.h"

int main(int argc, char** argv) {
  using namespace kivocom;
  const bool unplug = argc > 1 && std::strcmp(argv[1], "--unplug-download") == 0;
  InstrumentSimulator sim;
  sim.SetBaudRate(115200);
  sim.UseSmartSwitch(SSS_BB8PORT);
  for (char name = 'A'; name <= 'H'; ++name) {
    SimulatedInstrument instrument;
    instrument.defaultReply = std::string(1, name);
    instrument.download.command = "DL";
    instrument.download.count = 200;
    instrument.download.readingsPerPiece = 20;
    instrument.download.pieceGap = std::chrono::milliseconds(20);
    if (unplug && name == 'H') {  // time enough between its pieces for other clients to queue
      instrument.behaviour.unplugAfter = 500;
      instrument.download.pieceGap = std::chrono::milliseconds(300);
    }
    sim.AddInstrument(instrument, std::string(1, name));
  }
  std::cout << sim.DevicePath() << std::endl;
  std::string ignored;
  while (std::getline(std::cin, ignored)) {
  }
  return 0;
}

// SPDX-License-Identifier: MIT
// The C++ side of the Python layer's overhead figure (bench/python/exchange_overhead.py): ReadPort
// on the in-process simulator with the settings that script uses, and ReadPort on a port with no
// port chosen (the call's own cost, no line). Prints one line per row: name, median and p99 in
// microseconds.
//
// Run by hand: build/bench/readport_reference_bench [exchanges] [reply delay us]   (2000, 100)
#include <cstdio>
#include <cstdlib>

#include "exchange_measure.h"
#include "kivocom/kivocom.h"
#include "kivocom/simulator.h"

int main(int argc, char** argv) {
  using namespace kivocom;
  const int exchanges = argc > 1 ? std::atoi(argv[1]) : 2000;
  const int delayUs = argc > 2 ? std::atoi(argv[2]) : 100;
  constexpr int32_t kPort = 78;

  InstrumentSimulator sim;
  sim.SetBaudRate(115200);
  SimulatedInstrument instrument;
  instrument.replies["PV"] = "+0023.45";
  instrument.behaviour.replyDelay = std::chrono::microseconds(delayUs);
  instrument.behaviour.paced = false;
  sim.AddInstrument(instrument);
  MapPortToDevice(kPort, sim.DevicePath());

  CCOMPort port;
  port.port(kPort);
  port.MaxBaudRate(BAUD_921600);
  port.BaudRate(BAUD_115200);
  port.TimeOut(1000);
  CCOMPort unchosen;
  ECOMError err = CE_NONE;
  const bench::Row exchange = bench::Measure("C++ ReadPort", exchanges, [&] {
    return port.ReadPort(err, "PV") == "+0023.45" && err == CE_NONE;
  });
  const bench::Row call = bench::Measure("C++ ReadPort, no port chosen", exchanges * 10, [&] {
    unchosen.ReadPort(err, "PV");
    return err == CE_ABORTED;
  });
  for (const bench::Row& row : {exchange, call})
    std::printf("%s\t%.2f\t%.2f\t%d\n", row.name.c_str(), row.medianUs, row.p99Us, row.failures);
  MapPortToDevice(kPort, "");
  return 0;
}

// SPDX-License-Identifier: MIT
#include "kivocom/simulated_instrument.h"

namespace kivocom {

SimulatedInstrument SampleInstrument(EControllerStyle style, const std::string& address, int n, int32_t readings,
                                     bool binary) {
  SimulatedInstrument instrument;
  instrument.style = style;
  instrument.address = address;
  instrument.replies["PV"] = "+00" + std::to_string(23 + n) + ".45";
  instrument.replies["ID"] = "KIVO SIMULATED INSTRUMENT " + std::to_string(n);
  instrument.download.command = "DL";
  instrument.download.count = readings;
  instrument.download.binary = binary;
  instrument.download.readingsPerPiece = 5;
  return instrument;
}

}  // namespace kivocom

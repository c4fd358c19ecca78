// SPDX-License-Identifier: MIT
#include "simulated_bench.h"

#include <map>
#include <sstream>

#include "exit_codes.h"

namespace kivotool {

using namespace kivocom;

EControllerStyle StyleByName(const std::string& name) {
  static const std::map<std::string, EControllerStyle> styles{
      {"kivo", CS_KIVO}, {"omega", CS_OMEGA}, {"azonix", CS_AZONIX}, {"xsys", CS_XSYS}};
  const auto it = styles.find(name);
  if (it == styles.end()) throw ToolFailure(kExitUsage, "unknown style " + name + " (kivo, omega, azonix, xsys)");
  return it->second;
}

ESmartSwitchStyle SwitchModelByName(const std::string& name) {
  static const std::map<std::string, ESmartSwitchStyle> models{
      {"bb4", SSS_BB4PORT}, {"bb8", SSS_BB8PORT}, {"bt528", SSS_BT528AP}};
  const auto it = models.find(name);
  if (it == models.end()) throw ToolFailure(kExitUsage, "unknown switch model " + name + " (bb4, bb8, bt528)");
  return it->second;
}

std::string SwitchModelName(ESmartSwitchStyle model) {
  switch (model) {
    case SSS_BB4PORT: return "bb4";
    case SSS_BB8PORT: return "bb8";
    case SSS_BT528AP: return "bt528";
  }
  return "switch";
}

std::string SwitchPortName(ESmartSwitchStyle model, int n) {
  return model == SSS_BT528AP ? std::to_string(n) : std::string(1, static_cast<char>('A' + n - 1));
}

std::string DemoReading(int n) {
  return "+00" + std::to_string(23 + n) + ".45";
}

std::string DescribeSimulator(const InstrumentSimulator& sim, const std::string& style, const std::string& address,
                              const std::string& switchModel, int instruments, int readings, bool binary) {
  std::ostringstream out;
  out << "Simulated " << style << " instrument" << (switchModel.empty() ? "" : "s behind a " + switchModel + " switch")
      << " on " << sim.DevicePath() << " at " << sim.BaudRate() << " baud.\n"
      << "Map it to a COM number for other terminals:\n"
      << "  export KIVOCOM_COM9=" << sim.DevicePath() << "\n"
      << "Then try:\n";
  const std::string styleArg = " --style " + style + (style == "omega" ? " --address " + address : "");
  const std::string switchArg = switchModel.empty() ? "" : " --switch " + switchModel + " --switch-port " +
                                                              SwitchPortName(SwitchModelByName(switchModel), 1);
  out << "  kivocom query PV --port 9 --baud " << sim.BaudRate() << styleArg << switchArg << "\n"
      << "  kivocom download DL --port 9 --baud " << sim.BaudRate() << styleArg << switchArg << " -n " << readings
      << (binary ? " --binary" : "") << " -o readings.txt\n";
  if (!switchModel.empty()) {
    const ESmartSwitchStyle model = SwitchModelByName(switchModel);
    out << "  (" << instruments << " instruments, on switch ports " << SwitchPortName(model, 1) << " to "
        << SwitchPortName(model, instruments) << ")\n";
  }
  out << "Ctrl-C stops the simulator.\n";
  return out.str();
}

}  // namespace kivotool

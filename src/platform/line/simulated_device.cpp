// SPDX-License-Identifier: MIT
// Reading a sim:// device text: the style after the scheme, then options joined by '&'.
#include "platform/line/simulated_device.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>

namespace kivocom {
namespace {

constexpr char kScheme[] = "sim://";
constexpr std::size_t kSchemeLength = sizeof kScheme - 1;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// A whole number from `low` to `high`; no value for anything else.
std::optional<int32_t> NumberIn(const std::string& text, int32_t low, int32_t high) {
  int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) return std::nullopt;
  return value;
}

std::optional<EControllerStyle> StyleNamed(const std::string& name) {
  static const std::map<std::string, EControllerStyle> styles{
      {"kivo", CS_KIVO}, {"omega", CS_OMEGA}, {"azonix", CS_AZONIX}, {"xsys", CS_XSYS}};
  const auto it = styles.find(Lower(name));
  return it == styles.end() ? std::nullopt : std::optional(it->second);
}

std::optional<ESmartSwitchStyle> SwitchNamed(const std::string& name) {
  static const std::map<std::string, ESmartSwitchStyle> models{
      {"bb4", SSS_BB4PORT}, {"bb8", SSS_BB8PORT}, {"bt528", SSS_BT528AP}};
  const auto it = models.find(Lower(name));
  return it == models.end() ? std::nullopt : std::optional(it->second);
}

// Takes one NAME=VALUE option into `device`; false, with `problem` set, when it cannot.
bool TakeOption(const std::string& option, SimulatedDevice& device, std::string& problem) {
  const std::size_t equals = option.find('=');
  const std::string name = Lower(option.substr(0, equals));
  const std::string value = equals == std::string::npos ? std::string() : option.substr(equals + 1);
  std::optional<int32_t> number;
  if (name == "address" && !value.empty()) {
    device.address = value;
  } else if (name == "switch" && (device.smartSwitch = SwitchNamed(value))) {
  } else if (name == "instruments" && (number = NumberIn(value, 1, 8))) {
    device.instruments = *number;
  } else if (name == "readings" && (number = NumberIn(value, 0, 9999))) {
    device.readings = *number;
  } else if (name == "delay" && (number = NumberIn(value, 0, 60000))) {
    device.replyDelay = std::chrono::milliseconds(*number);
  } else {
    problem = "the option \"" + option + "\" is not one of address, switch (bb4, bb8, bt528), instruments (1 to 8), "
              "readings (0 to 9999) and delay (0 to 60000 ms)";
    return false;
  }
  return true;
}

std::string SwitchPortName(ESmartSwitchStyle model, int32_t n) {
  return model == SSS_BT528AP ? std::to_string(n) : std::string(1, static_cast<char>('A' + n - 1));
}

}  // namespace

bool IsSimulatedDevice(const std::string& devicePath) { return Lower(devicePath.substr(0, kSchemeLength)) == kScheme; }

std::optional<SimulatedDevice> ReadSimulatedDevice(const std::string& devicePath, std::string& problem) {
  if (!IsSimulatedDevice(devicePath)) {
    problem = "it does not start with sim://";
    return std::nullopt;
  }
  const std::string rest = devicePath.substr(kSchemeLength);
  const std::size_t question = rest.find('?');
  SimulatedDevice device;
  const std::optional<EControllerStyle> style = StyleNamed(rest.substr(0, question));
  if (!style) {
    problem = "the style \"" + rest.substr(0, question) + "\" is not kivo, omega, azonix or xsys";
    return std::nullopt;
  }
  device.style = *style;
  if (question == std::string::npos) return device;
  for (std::size_t at = question + 1; at <= rest.size();) {
    const std::size_t end = std::min(rest.find('&', at), rest.size());
    if (!TakeOption(rest.substr(at, end - at), device, problem)) return std::nullopt;
    at = end + 1;
  }
  return device;
}

void PlaceInstruments(InstrumentBench& bench, const SimulatedDevice& device) {
  const auto place = [&](int32_t n, const std::string& switchPort) {
    SimulatedInstrument instrument = SampleInstrument(device.style, device.address, n, device.readings, false);
    if (device.replyDelay) instrument.behaviour.replyDelay = *device.replyDelay;
    bench.AddInstrument(std::move(instrument), switchPort);
  };
  if (!device.smartSwitch) {
    place(0, "");
    return;
  }
  bench.SetSmartSwitch(device.smartSwitch);
  for (int32_t n = 1; n <= device.instruments; ++n) place(n, SwitchPortName(*device.smartSwitch, n));
}

}  // namespace kivocom

// SPDX-License-Identifier: MIT
// The port and baud-rate pick lists: the client's combo controls filled with the serial ports
// present (current, busy and infrared ports marked) and with the baud rates the port accepts.
#include <algorithm>
#include <string>
#include <vector>

#include "comport/continue_on_error.h"
#include "kivocom/comport.h"
#include "kivocom/error.h"
#include "kivocom/pick_list_controls.h"
#include "kivocom/port_probe.h"
#include "kivocom/registry.h"

namespace kivocom {
namespace {

constexpr const char* kFillPortsSource = "CCOMPort - FillCOMPortsCombo";
constexpr const char* kFillRatesSource = "CCOMPort - FillBaudRatesCombo";

// Port item images, as numbered in the client's image list.
constexpr int32_t kImageInUse = 1;
constexpr int32_t kImageCurrent = 2;
constexpr int32_t kImageFree = 3;
constexpr int32_t kImageIrDAOffset = 3;  // the same three cases, for the IrDA virtual port

// Where the infrared stack records its virtual port and the port of its framer (the dongle).
constexpr const char* kVirtualPortsKey = "Enum\\Infrared\\VirtualPorts";
constexpr const char* kVirtualPortValue = "VirtualComPortName";
constexpr const char* kFramerKey = "Enum\\Infrared\\Framer";
constexpr const char* kFramerPortValue = "PortName";
// Port names such as "COM4" are short; a value claiming more is not read.
constexpr uint32_t kLongestPortName = 256;

struct IrDAPorts {
  int16_t virtualPort = 0;  // the COM number the infrared stack offers to programs
  int16_t framerPort = 0;   // the COM number its dongle is attached to
  bool found = false;
};

// A registry key open for the life of the object, so it is closed on every path.
class OpenRegistryKey {
 public:
  OpenRegistryKey(Registry& registry, const std::string& path)
      : registry_(registry), open_(registry.OpenKey(path, key_)) {}
  ~OpenRegistryKey() {
    if (open_) registry_.CloseKey(key_);
  }
  OpenRegistryKey(const OpenRegistryKey&) = delete;
  OpenRegistryKey& operator=(const OpenRegistryKey&) = delete;

  bool IsOpen() const { return open_; }
  Registry& Source() { return registry_; }
  RegistryKey Handle() const { return key_; }

 private:
  Registry& registry_;
  RegistryKey key_ = 0;
  bool open_;
};

// The value of the final character of a port name such as "COM4": 4. Only that one character
// counts (COM12 gives 2); a name ending in anything but a digit gives 0. The text ends at its
// first zero byte, so a value stored without its terminating zero loses no character.
int16_t FinalDigit(const std::vector<char>& text) {
  const auto end = std::find(text.begin(), text.end(), '\0');
  if (end == text.begin()) return 0;
  const char last = *(end - 1);
  return (last >= '0' && last <= '9') ? static_cast<int16_t>(last - '0') : int16_t{0};
}

// Reads the port number held in text value `name` into `port`. False when the value is missing
// or not text; a text value that cannot be read leaves `port` as it was and still counts.
bool ReadPortNumber(OpenRegistryKey& key, const char* name, int16_t& port) {
  RegistryType type = RegistryType::None;
  uint32_t size = 0;
  if (!key.Source().QueryValue(key.Handle(), name, type, size) || type != RegistryType::Text)
    return false;
  if (size > kLongestPortName) return true;  // no port name is this long: unreadable, as a failed read
  std::vector<char> text(size);
  if (key.Source().ReadValue(key.Handle(), name, text)) port = FinalDigit(text);
  return true;
}

// The IrDA virtual port and its framer's port. A virtual port without a framer key still counts
// as found (framer port 0); a framer key without a port name does not.
IrDAPorts FindIrDAPorts(Registry& registry) {
  IrDAPorts ports;
  {
    OpenRegistryKey virtualPorts(registry, kVirtualPortsKey);
    if (!virtualPorts.IsOpen() ||
        !ReadPortNumber(virtualPorts, kVirtualPortValue, ports.virtualPort))
      return ports;
  }
  OpenRegistryKey framer(registry, kFramerKey);
  if (framer.IsOpen() && !ReadPortNumber(framer, kFramerPortValue, ports.framerPort)) return ports;
  ports.found = true;
  return ports;
}

// Appends the item of port `n` unless the probe says there is no such port.
void AddPortItem(ComboItems& items, PortProbe& probe, int32_t n, int16_t currentPort,
                 const IrDAPorts& irda) {
  std::string tag = std::to_string(n);
  const int32_t status = probe.IsCOMPortAvailable(n);
  if (status == kPortNotFound) return;
  const bool current = (n == currentPort);
  int32_t image = current ? kImageCurrent : kImageFree;
  if (status == kPortInUse && !current) image = kImageInUse;
  if (irda.found && n == irda.virtualPort) {
    image += kImageIrDAOffset;
    tag = std::to_string(irda.framerPort);
  }
  const std::string name = "COM" + std::to_string(n);
  ComboItem& item = items.Add(std::to_string(n) + " " + name, name, image);
  item.Tag(tag);
  if (current) item.Selected(true);
}

}  // namespace

void CCOMPort::FillCOMPortsCombo(ImageCombo& ctrl, int16_t CurrentPort) {
  ctrl.Items().Clear();
  try {
    const IrDAPorts irda = FindIrDAPorts(ThreadRegistry());
    const std::shared_ptr<PortProbe> probe = ThreadPortProbe();
    for (int32_t n = 1; n <= kHighestPortNumber; ++n)
      AddPortItem(ctrl.Items(), *probe, n, CurrentPort, irda);
  } catch (...) {
    const ErrorRecord failure = CaughtErrorRecord();
    throw Error(failure.number, kFillPortsSource, failure.description);
  }
}

void CCOMPort::FillBaudRatesCombo(ListControl& ctrl) {
  ctrl.Clear();
  // The limits count as 16-bit numbers (a limit beyond them is an overflow, not a wrapped
  // number); the loop runs in 32 bits so a top limit of 32767 ends.
  const int32_t lowest = ToInteger16(minBaudRate_, kFillRatesSource);
  const int32_t highest = ToInteger16(maxBaudRate_, kFillRatesSource);
  for (int32_t v = lowest; v <= highest; ++v) {
    ctrl.AddItem(BaudRateName(v));
    ctrl.ItemData(ctrl.NewIndex(), v);
  }
}

}  // namespace kivocom

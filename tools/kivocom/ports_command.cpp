// ports: the serial ports of this machine, for people who pick one.
#include <cstdio>
#include <iostream>

#include "commands.h"
#include "kivocom/port_devices.h"
#include "kivocom/port_probe.h"

namespace kivotool {
namespace {

using namespace kivocom;

std::string StateText(const PortInfo& info) {
  switch (info.state) {
    case PortState::Free: return "free";
    case PortState::NoAccess: return "no access";
    case PortState::InUse:
      if (info.holderPid == 0) return "in use";
      return "in use by " + (info.holderProgram.empty() ? std::string("pid") : info.holderProgram) + " (" +
             std::to_string(info.holderPid) + ")";
  }
  return "";
}

std::string UsbIds(const PortInfo& info) {
  if (!info.usb) return "-";
  char ids[16];
  std::snprintf(ids, sizeof ids, "%04x:%04x", info.usb->vendorId, info.usb->productId);
  return ids;
}

std::string Description(const PortInfo& info) {
  if (!info.usb) return info.deviceNode != info.devicePath ? "-> " + info.deviceNode : "";
  std::string text = info.usb->manufacturer;
  if (!info.usb->product.empty()) text += (text.empty() ? "" : " ") + info.usb->product;
  return text;
}

void RunPorts() {
  const auto ports = ListSerialPorts();
  if (ports.empty()) {
    std::cout << "No serial ports found. Map a device to a COM number with KIVOCOM_COM<n>=/dev/... or a link in "
              << PortsFolder() << "/com<n>.\n";
    return;
  }
  std::printf("%-7s %-22s %-24s %-10s %-16s %s\n", "PORT", "DEVICE", "STATE", "USB ID", "SERIAL", "DESCRIPTION");
  for (const auto& info : ports) {
    std::printf("%-7s %-22s %-24s %-10s %-16s %s\n", ("COM" + std::to_string(info.number)).c_str(),
                info.devicePath.c_str(), StateText(info).c_str(), UsbIds(info).c_str(),
                info.usb && !info.usb->serialNumber.empty() ? info.usb->serialNumber.c_str() : "-",
                Description(info).c_str());
  }
}

}  // namespace

void AddPortsCommand(CLI::App& app) {
  app.add_subcommand("ports", "list the serial ports of this machine (opens none of them)")->callback(RunPorts);
}

}  // namespace kivotool

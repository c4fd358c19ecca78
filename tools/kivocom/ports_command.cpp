// SPDX-License-Identifier: MIT
// ports: the serial ports of this machine, for people who pick one.
#include <algorithm>
#include <array>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "commands.h"
#include "kivocom/port_devices.h"
#include "kivocom/port_probe.h"
#include "ports_folder_notes.h"

namespace kivotool {
namespace {

using namespace kivocom;

std::string StateText(const PortInfo& info) {
  switch (info.state) {
    case PortState::Free: return "free";
    case PortState::NoAccess: return "no access";
    case PortState::Network: return "network";
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
  for (const std::string& problem : PortsFolderProblems()) std::cerr << "kivocom: warning: " << problem << "\n";
  const auto ports = ListSerialPorts();
  if (ports.empty()) {
    std::cout << "No serial ports found. Map a device to a COM number with KIVOCOM_COM<n>=/dev/... or a link in "
              << PortsFolder() << "/com<n>.\n";
    return;
  }
  // Each column is as wide as its widest cell, so long device paths or holder names keep the
  // columns in line.
  using Line = std::array<std::string, 6>;
  std::vector<Line> lines{{"PORT", "DEVICE", "STATE", "USB ID", "SERIAL", "DESCRIPTION"}};
  for (const auto& info : ports)
    lines.push_back({"COM" + std::to_string(info.number), info.devicePath, StateText(info), UsbIds(info),
                     info.usb && !info.usb->serialNumber.empty() ? info.usb->serialNumber : "-", Description(info)});
  std::array<std::size_t, 6> widths{};
  for (const Line& line : lines)
    for (std::size_t i = 0; i < line.size(); ++i) widths[i] = std::max(widths[i], line[i].size());
  for (const Line& line : lines) {
    std::string text;
    for (std::size_t i = 0; i + 1 < line.size(); ++i) text += line[i] + std::string(widths[i] - line[i].size() + 1, ' ');
    std::cout << text << line.back() << "\n";
  }
}

}  // namespace

void AddPortsCommand(CLI::App& app) {
  app.add_subcommand("ports", "list the serial ports of this machine (opens none of them)")->callback(RunPorts);
}

}  // namespace kivotool

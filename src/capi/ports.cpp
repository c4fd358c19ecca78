// SPDX-License-Identifier: MIT
// The C interface to the machine's ports: the list with each port's details, a port's status,
// and which device a port number names.
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "capi/c_call.h"
#include "kivocom/port_devices.h"
#include "kivocom/port_probe.h"

using kivocom::capi::Call;
using kivocom::capi::Required;
using kivocom::capi::TextCall;
using kivocom::capi::TextIn;

namespace {

// A NUL-terminated copy of `text` that the list owns.
const char* Copy(const std::string& text) {
  char* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (copy == nullptr) throw std::bad_alloc();
  std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

int32_t StateNumber(kivocom::PortState state) {
  switch (state) {
    case kivocom::PortState::Free: return KVC_PORT_STATE_FREE;
    case kivocom::PortState::InUse: return KVC_PORT_STATE_IN_USE;
    case kivocom::PortState::NoAccess: return KVC_PORT_STATE_NO_ACCESS;
    case kivocom::PortState::Network: return KVC_PORT_STATE_NETWORK;
  }
  return KVC_PORT_STATE_FREE;
}

// Fills `out` from `info`; the texts are copied one by one, so a failure halfway leaves the
// entry holding only texts that kvc_free_port_list can free.
void Fill(kvc_port_info& out, const kivocom::PortInfo& info) {
  out.number = info.number;
  out.state = StateNumber(info.state);
  out.holder_pid = info.holderPid;
  out.device_path = Copy(info.devicePath);
  out.device_node = Copy(info.deviceNode);
  out.holder_program = Copy(info.holderProgram);
  const kivocom::UsbAdapter usb = info.usb.value_or(kivocom::UsbAdapter{});
  out.is_usb = info.usb.has_value() ? 1 : 0;
  out.usb_vendor_id = usb.vendorId;
  out.usb_product_id = usb.productId;
  out.usb_serial_number = Copy(usb.serialNumber);
  out.usb_manufacturer = Copy(usb.manufacturer);
  out.usb_product = Copy(usb.product);
}

// A device path from the caller; a NUL inside it would cut the path the system opens short, so
// that a different device than the one named would be opened.
std::string DevicePathIn(const char* path, size_t length) {
  std::string text = TextIn(path, length);
  if (text.find('\0') != std::string::npos)
    throw kivocom::capi::ArgumentFault{KVC_ERR_INVALID_ARGUMENT, "The device path holds a NUL byte."};
  return text;
}

}  // namespace

extern "C" {

int32_t kvc_list_ports(kvc_port_info** ports, size_t* count) {
  if (ports != nullptr) *ports = nullptr;
  if (count != nullptr) *count = 0;
  return Call("kvc_list_ports", [&] {
    kvc_port_info*& listOut = Required(ports, "ports");
    size_t& countOut = Required(count, "count");
    const std::vector<kivocom::PortInfo> found = kivocom::ListSerialPorts();
    // calloc: every text pointer starts NULL, so a partly filled list frees cleanly.
    auto* list = static_cast<kvc_port_info*>(std::calloc(found.size() + 1, sizeof(kvc_port_info)));
    if (list == nullptr) throw std::bad_alloc();
    try {
      for (size_t i = 0; i < found.size(); ++i) Fill(list[i], found[i]);
    } catch (...) {
      kvc_free_port_list(list, found.size());
      throw;
    }
    listOut = list;
    countOut = found.size();
  });
}

void kvc_free_port_list(kvc_port_info* ports, size_t count) {
  if (ports == nullptr) return;
  for (size_t i = 0; i < count; ++i) {
    const kvc_port_info& p = ports[i];
    for (const char* text : {p.device_path, p.device_node, p.holder_program, p.usb_serial_number,
                             p.usb_manufacturer, p.usb_product})
      std::free(const_cast<char*>(text));
  }
  std::free(ports);
}

int32_t kvc_is_com_port_available(int32_t port, int32_t* status) {
  return Call("kvc_is_com_port_available", [&] { Required(status, "status") = kivocom::IsCOMPortAvailable(port); });
}

int32_t kvc_map_port(int32_t port, const char* path, size_t path_len) {
  return Call("kvc_map_port", [&] { kivocom::MapPortToDevice(port, DevicePathIn(path, path_len)); });
}

int32_t kvc_map_device(const char* path, size_t path_len, int32_t* port) {
  if (port != nullptr) *port = 0;
  return Call("kvc_map_device", [&] {
    int32_t& number = Required(port, "port");
    number = kivocom::MapDeviceToFreePort(DevicePathIn(path, path_len));
  });
}

int32_t kvc_unmap_device(int32_t port, const char* path, size_t path_len, int* removed) {
  if (removed != nullptr) *removed = 0;
  return Call("kvc_unmap_device", [&] {
    int& result = Required(removed, "removed");
    result = kivocom::UnmapPort(port, DevicePathIn(path, path_len)) ? 1 : 0;
  });
}

int32_t kvc_port_device_path(int32_t port, char** text, size_t* text_len) {
  return TextCall("kvc_port_device_path", text, text_len, [&] { return kivocom::PortDevicePath(port); });
}

int32_t kvc_ports_folder(char** text, size_t* text_len) {
  return TextCall("kvc_ports_folder", text, text_len, [] { return kivocom::PortsFolder(); });
}

}  // extern "C"

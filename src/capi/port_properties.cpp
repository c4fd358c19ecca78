// SPDX-License-Identifier: MIT
// The C interface to a port's life and properties: new and free, and a get/set pair per property.
#include "capi/c_call.h"
#include "capi/handles.h"
#include "kivocom/serial_control.h"

using kivocom::CCOMPort;
using kivocom::capi::BoolOut;
using kivocom::capi::Call;
using kivocom::capi::FreeHandle;
using kivocom::capi::MakeHandle;
using kivocom::capi::Live;
using kivocom::capi::Required;
using kivocom::capi::TextCall;

namespace {

// Stores what `get` reads from the port in `*value`.
template <class T, class Getter>
int32_t Get(const char* function, const kvc_port* port, T* value, Getter&& get) noexcept {
  return Call(function, [&] {
    const CCOMPort& p = Live(port, "port").port;
    Required(value, "value") = static_cast<T>(get(p));
  });
}

// Runs `set` on the port.
template <class Setter>
int32_t Set(const char* function, kvc_port* port, Setter&& set) noexcept {
  return Call(function, [&] { set(Live(port, "port").port); });
}

}  // namespace

extern "C" {

int32_t kvc_port_new(kvc_port** port) {
  if (port != nullptr) *port = nullptr;
  return Call("kvc_port_new", [&] { MakeHandle(port, "port"); });
}

void kvc_port_free(kvc_port* port) { FreeHandle("kvc_port_free", port); }

int32_t kvc_port_get_check_non_ascii(const kvc_port* port, int* value) {
  return Get("kvc_port_get_check_non_ascii", port, value, [](const CCOMPort& p) { return BoolOut(p.CheckNonAscii()); });
}
int32_t kvc_port_set_check_non_ascii(kvc_port* port, int value) {
  return Set("kvc_port_set_check_non_ascii", port, [&](CCOMPort& p) { p.CheckNonAscii(value != 0); });
}

int32_t kvc_port_get_auto_close(const kvc_port* port, int* value) {
  return Get("kvc_port_get_auto_close", port, value, [](const CCOMPort& p) { return BoolOut(p.AutoClose()); });
}
int32_t kvc_port_set_auto_close(kvc_port* port, int value) {
  return Set("kvc_port_set_auto_close", port, [&](CCOMPort& p) { p.AutoClose(value != 0); });
}

int32_t kvc_port_get_debugging(const kvc_port* port, int* value) {
  return Get("kvc_port_get_debugging", port, value, [](const CCOMPort& p) { return BoolOut(p.Debugging()); });
}
int32_t kvc_port_set_debugging(kvc_port* port, int value) {
  return Set("kvc_port_set_debugging", port, [&](CCOMPort& p) { p.Debugging(value != 0); });
}

int32_t kvc_port_get_uses_smart_switch(const kvc_port* port, int* value) {
  return Get("kvc_port_get_uses_smart_switch", port, value,
             [](const CCOMPort& p) { return BoolOut(p.UsesSmartSwitch()); });
}
int32_t kvc_port_set_uses_smart_switch(kvc_port* port, int value) {
  return Set("kvc_port_set_uses_smart_switch", port, [&](CCOMPort& p) { p.UsesSmartSwitch(value != 0); });
}

int32_t kvc_port_get_use_irda_dongle(const kvc_port* port, int* value) {
  return Get("kvc_port_get_use_irda_dongle", port, value, [](const CCOMPort& p) { return BoolOut(p.UseIrDADongle()); });
}
int32_t kvc_port_set_use_irda_dongle(kvc_port* port, int value) {
  return Set("kvc_port_set_use_irda_dongle", port, [&](CCOMPort& p) { p.UseIrDADongle(value != 0); });
}

int32_t kvc_port_get_port(const kvc_port* port, int32_t* value) {
  return Get("kvc_port_get_port", port, value, [](const CCOMPort& p) { return p.port(); });
}
int32_t kvc_port_set_port(kvc_port* port, int32_t value) {
  return Set("kvc_port_set_port", port, [&](CCOMPort& p) { p.port(value); });
}

int32_t kvc_port_get_controller_style(const kvc_port* port, int32_t* value) {
  return Get("kvc_port_get_controller_style", port, value, [](const CCOMPort& p) { return p.ControllerStyle(); });
}
int32_t kvc_port_set_controller_style(kvc_port* port, int32_t value) {
  return Set("kvc_port_set_controller_style", port,
             [&](CCOMPort& p) { p.ControllerStyle(static_cast<kivocom::EControllerStyle>(value)); });
}

int32_t kvc_port_get_parity(const kvc_port* port, int32_t* value) {
  return Get("kvc_port_get_parity", port, value, [](const CCOMPort& p) { return p.Parity(); });
}
int32_t kvc_port_get_data_bits(const kvc_port* port, int32_t* value) {
  return Get("kvc_port_get_data_bits", port, value, [](const CCOMPort& p) { return p.DataBits(); });
}
int32_t kvc_port_get_stop_bits(const kvc_port* port, int32_t* value) {
  return Get("kvc_port_get_stop_bits", port, value, [](const CCOMPort& p) { return p.StopBits(); });
}

int32_t kvc_port_get_baud_rate(const kvc_port* port, int32_t* value) {
  return Get("kvc_port_get_baud_rate", port, value, [](const CCOMPort& p) { return p.BaudRate(); });
}
int32_t kvc_port_set_baud_rate(kvc_port* port, int32_t value) {
  return Set("kvc_port_set_baud_rate", port,
             [&](CCOMPort& p) { p.BaudRate(static_cast<kivocom::EBaudRate>(value)); });
}
int32_t kvc_port_get_min_baud_rate(const kvc_port* port, int32_t* value) {
  return Get("kvc_port_get_min_baud_rate", port, value, [](const CCOMPort& p) { return p.MinBaudRate(); });
}
int32_t kvc_port_set_min_baud_rate(kvc_port* port, int32_t value) {
  return Set("kvc_port_set_min_baud_rate", port,
             [&](CCOMPort& p) { p.MinBaudRate(static_cast<kivocom::EBaudRate>(value)); });
}
int32_t kvc_port_get_max_baud_rate(const kvc_port* port, int32_t* value) {
  return Get("kvc_port_get_max_baud_rate", port, value, [](const CCOMPort& p) { return p.MaxBaudRate(); });
}
int32_t kvc_port_set_max_baud_rate(kvc_port* port, int32_t value) {
  return Set("kvc_port_set_max_baud_rate", port,
             [&](CCOMPort& p) { p.MaxBaudRate(static_cast<kivocom::EBaudRate>(value)); });
}

int32_t kvc_port_get_retries(const kvc_port* port, int16_t* value) {
  return Get("kvc_port_get_retries", port, value, [](const CCOMPort& p) { return p.Retries(); });
}
int32_t kvc_port_set_retries(kvc_port* port, int16_t value) {
  return Set("kvc_port_set_retries", port, [&](CCOMPort& p) { p.Retries(value); });
}

int32_t kvc_port_get_timeout(const kvc_port* port, int32_t* value) {
  return Get("kvc_port_get_timeout", port, value, [](const CCOMPort& p) { return p.TimeOut(); });
}
int32_t kvc_port_set_timeout(kvc_port* port, int32_t value) {
  return Set("kvc_port_set_timeout", port, [&](CCOMPort& p) { p.TimeOut(value); });
}

int32_t kvc_port_get_strip_crlf(const kvc_port* port, int* value) {
  return Get("kvc_port_get_strip_crlf", port, value, [](const CCOMPort& p) { return BoolOut(p.StripCRLF()); });
}
int32_t kvc_port_set_strip_crlf(kvc_port* port, int value) {
  return Set("kvc_port_set_strip_crlf", port, [&](CCOMPort& p) { p.StripCRLF(value != 0); });
}

int32_t kvc_port_get_line_open(const kvc_port* port, int* value) {
  return Get("kvc_port_get_line_open", port, value,
             [](const CCOMPort& p) { return BoolOut(p.COMControl().PortOpen()); });
}
int32_t kvc_port_get_line_settings(const kvc_port* port, char** text, size_t* text_len) {
  return TextCall("kvc_port_get_line_settings", text, text_len,
                  [&] { return Live(port, "port").port.COMControl().Settings(); });
}

int32_t kvc_port_line_input(kvc_port* port, int32_t timeout_ms, char** bytes, size_t* bytes_len) {
  return TextCall("kvc_port_line_input", bytes, bytes_len, [&] {
    kivocom::SerialControl& line = Live(port, "port").port.COMControl();
    return line.WaitForInput(timeout_ms) ? line.Input() : std::string();
  });
}

int32_t kvc_port_baud_rate_name(const kvc_port* port, int32_t index, char** text, size_t* text_len) {
  return TextCall("kvc_port_baud_rate_name", text, text_len,
                  [&] { return Live(port, "port").port.BaudRateName(index); });
}

int32_t kvc_port_is_configured(const kvc_port* port, int* value) {
  return Get("kvc_port_is_configured", port, value, [](const CCOMPort& p) { return BoolOut(p.IsConfigured()); });
}

}  // extern "C"

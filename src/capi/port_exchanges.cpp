// SPDX-License-Identifier: MIT
// The C interface to a port's line: opening and closing, the switch test, the exchanges and the
// record of a line lost during the last one.
#include "capi/c_call.h"
#include "capi/handles.h"

using kivocom::ECOMError;
using kivocom::capi::BoolOut;
using kivocom::capi::Call;
using kivocom::capi::Live;
using kivocom::capi::Required;
using kivocom::capi::TextCall;
using kivocom::capi::TextIn;
using kivocom::capi::TextOut;

namespace {

// Runs an exchange whose ECOMError the C caller receives in `*errorcode`, set even when the call
// fails halfway.
template <class Exchange>
auto WithErrorCode(int32_t* errorcode, Exchange&& exchange) {
  ECOMError code = kivocom::CE_NONE;
  struct Hand {
    ECOMError& code;
    int32_t* out;
    ~Hand() { *out = code; }
  } hand{code, &Required(errorcode, "errorcode")};
  return exchange(code);
}

}  // namespace

extern "C" {

int32_t kvc_port_clear_buffers(kvc_port* port) {
  return Call("kvc_port_clear_buffers", [&] { Live(port, "port").port.ClearBuffers(); });
}

int32_t kvc_port_open_port(kvc_port* port, const char* ssport, size_t ssport_len, int* opened) {
  if (opened != nullptr) *opened = 0;
  return Call("kvc_port_open_port", [&] {
    int& result = Required(opened, "opened");
    result = BoolOut(Live(port, "port").port.OpenPort(TextIn(ssport, ssport_len)));
  });
}

int32_t kvc_port_close_port(kvc_port* port) {
  return Call("kvc_port_close_port", [&] { Live(port, "port").port.ClosePort(); });
}

int32_t kvc_port_test_smart_switch(kvc_port* port) {
  return Call("kvc_port_test_smart_switch", [&] { Live(port, "port").port.TestSmartSwitch(); });
}

int32_t kvc_port_write_port(kvc_port* port, int32_t* errorcode, const char* cmd, size_t cmd_len, const char* ssport,
                            size_t ssport_len, const char* address, size_t address_len, const char* set,
                            size_t set_len) {
  return Call("kvc_port_write_port", [&] {
    kivocom::CCOMPort& p = Live(port, "port").port;
    WithErrorCode(errorcode, [&](ECOMError& code) {
      p.WritePort(code, TextIn(cmd, cmd_len), TextIn(ssport, ssport_len), TextIn(address, address_len),
                  TextIn(set, set_len));
    });
  });
}

int32_t kvc_port_read_port(kvc_port* port, int32_t* errorcode, const char* cmd, size_t cmd_len, const char* ssport,
                           size_t ssport_len, const char* address, size_t address_len, char** reply,
                           size_t* reply_len) {
  return TextCall("kvc_port_read_port", reply, reply_len, [&] {
    kivocom::CCOMPort& p = Live(port, "port").port;
    return WithErrorCode(errorcode, [&](ECOMError& code) {
      return p.ReadPort(code, TextIn(cmd, cmd_len), TextIn(ssport, ssport_len), TextIn(address, address_len));
    });
  });
}

int32_t kvc_port_download(kvc_port* port, int binary, int32_t* errorcode, const char* cmd, size_t cmd_len,
                          const char* ssport, size_t ssport_len, const char* address, size_t address_len,
                          int32_t readings, char** data, size_t* data_len) {
  return TextCall("kvc_port_download", data, data_len, [&] {
    kivocom::CCOMPort& p = Live(port, "port").port;
    return WithErrorCode(errorcode, [&](ECOMError& code) {
      return p.Download(binary != 0, code, TextIn(cmd, cmd_len), TextIn(ssport, ssport_len),
                        TextIn(address, address_len), readings);
    });
  });
}

int32_t kvc_port_line_error(const kvc_port* port, int32_t* number, char** source, size_t* source_len,
                            char** description, size_t* description_len) {
  if (source != nullptr) *source = nullptr;
  if (description != nullptr) *description = nullptr;
  return Call("kvc_port_line_error", [&] {
    const kivocom::ErrorRecord& record = Live(port, "port").port.LineError();
    int32_t& numberOut = Required(number, "number");
    if (source != nullptr) TextOut(record.source, source, source_len);
    try {
      if (description != nullptr) TextOut(record.description, description, description_len);
    } catch (...) {
      if (source != nullptr) {
        kvc_free(*source);
        *source = nullptr;
      }
      throw;
    }
    numberOut = record.number;
  });
}

}  // extern "C"

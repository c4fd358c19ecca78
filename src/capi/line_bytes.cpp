// SPDX-License-Identifier: MIT
// The C interface to a port's line byte by byte: bytes sent as given, and the frame WritePort
// would send for a command, for programs (such as the PyVISA backend) that keep their own
// exchange model over the library's lines.
#include "capi/c_call.h"
#include "capi/handles.h"
#include "comport/command_frame.h"
#include "comport/transmit.h"
#include "kivocom/serial_control.h"

using kivocom::capi::Call;
using kivocom::capi::Required;
using kivocom::capi::TextCall;
using kivocom::capi::TextIn;

extern "C" {

int32_t kvc_port_line_output(kvc_port* port, const char* bytes, size_t bytes_len) {
  return Call("kvc_port_line_output", [&] {
    kivocom::CCOMPort& p = Required(port, "port").port;
    const std::string data = TextIn(bytes, bytes_len);
    p.COMControl().Output(data);
    kivocom::WaitForTransmitDrain(p.COMControl(), p.BaudRateName(), data.size(), "CCOMPort - LineOutput");
  });
}

int32_t kvc_port_frame_command(const kvc_port* port, const char* cmd, size_t cmd_len, const char* address,
                               size_t address_len, char** text, size_t* text_len) {
  return TextCall("kvc_port_frame_command", text, text_len, [&] {
    const kivocom::CCOMPort& p = Required(port, "port").port;
    return LineText(FrameCommand(p.ControllerStyle(), TextIn(cmd, cmd_len), TextIn(address, address_len), ""));
  });
}

}  // extern "C"

// Opening and configuring a serial device.
#include "platform/windows/win32_serial_device.h"

#include <utility>

#include "kivocom/error.h"
#include "platform/windows/ansi_text.h"
#include "platform/windows/system_text_windows.h"
#include "platform/windows/win32_serial_errors.h"
#include "platform/windows/win32_serial_framing.h"

namespace kivocom {
namespace {

// What the driver is asked to queue in each direction; the receive thread keeps the driver's
// input queue short, so this is a request, and a driver that keeps its own sizes is fine.
constexpr DWORD kDriverQueueBytes = 64 * 1024;

// No sharing: the port is this program's alone while open.
Win32Handle OpenExclusive(int32_t port, const std::string& path, const std::string& source) {
  Win32Handle handle(CreateFileW(WideFromAnsi(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OVERLAPPED, nullptr));
  if (!handle.Valid()) throw OpenError(source, port, path, GetLastError());
  return handle;
}

// A read waits for its first byte at most kReadTimeoutMs; writes wait as long as the line needs.
void SetReadTimeOut(HANDLE handle, int32_t port, const std::string& path, const std::string& source) {
  COMMTIMEOUTS timeouts{};
  timeouts.ReadTotalTimeoutConstant = Win32SerialDevice::kReadTimeoutMs;
  if (!SetCommTimeouts(handle, &timeouts)) throw OpenError(source, port, path, GetLastError());
}

}  // namespace

Win32SerialDevice::Win32SerialDevice(int32_t port, std::string path, const LineSettings& settings,
                                     const std::string& text, const std::string& source)
    : port_(port), path_(std::move(path)), handle_(OpenExclusive(port_, path_, source)) {
  DCB current{};
  current.DCBlength = sizeof(DCB);
  if (!GetCommState(handle_.Get(), &current))
    throw Error(kErrDeviceNotOpen, source,
                PortAndDevice(port_, path_) + " is not a serial device (" + SystemErrorText(GetLastError()) + ").");
  SetupComm(handle_.Get(), kDriverQueueBytes, kDriverQueueBytes);
  SetReadTimeOut(handle_.Get(), port_, path_, source);
  ApplySettings(settings, text, source);
  PurgeComm(handle_.Get(), PURGE_RXCLEAR | PURGE_TXCLEAR);
}

// The block is not read back to verify it: a driver refuses what it cannot do itself, and some
// virtual lines report a format of their own whatever they were given.
void Win32SerialDevice::ApplySettings(const LineSettings& settings, const std::string& text,
                                      const std::string& source) {
  DCB dcb{};
  dcb.DCBlength = sizeof(DCB);
  if (!GetCommState(handle_.Get(), &dcb))
    throw SettingError(source, port_, path_, "the line settings " + text, SystemErrorText(GetLastError()));
  MakeRawLine(dcb);
  SetLineFraming(dcb, settings, text, source);
  SetModemLineControl(dcb, dtrRaised_, rtsRaised_);
  if (!SetCommState(handle_.Get(), &dcb))
    throw SettingError(source, port_, path_, "the line settings " + text, SystemErrorText(GetLastError()));
}

void Win32SerialDevice::SetDtr(bool raised, const std::string& source) {
  SetModemLine(raised ? SETDTR : CLRDTR, "DTR", source);
  dtrRaised_ = raised;
}

void Win32SerialDevice::SetRts(bool raised, const std::string& source) {
  SetModemLine(raised ? SETRTS : CLRRTS, "RTS", source);
  rtsRaised_ = raised;
}

void Win32SerialDevice::SetModemLine(DWORD function, const std::string& name, const std::string& source) {
  if (!EscapeCommFunction(handle_.Get(), function))
    throw SettingError(source, port_, path_, "a change of " + name, SystemErrorText(GetLastError()));
}

}  // namespace kivocom

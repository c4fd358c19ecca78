// SPDX-License-Identifier: MIT
// Opening and configuring a serial device.
#include "platform/line/windows/win32_serial_device.h"

#include <utility>

#include "kivocom/error.h"
#include "platform/windows/ansi_text.h"
#include "platform/windows/system_text_windows.h"
#include "platform/line/windows/win32_serial_errors.h"
#include "platform/line/windows/win32_serial_framing.h"

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
  DWORD modemStatus = 0;
  hasModemLines_ = GetCommModemStatus(handle_.Get(), &modemStatus) != 0;
  SetupComm(handle_.Get(), kDriverQueueBytes, kDriverQueueBytes);
  SetReadTimeOut(handle_.Get(), port_, path_, source);
  ApplySettings(settings, text, source);
  PurgeComm(handle_.Get(), PURGE_RXCLEAR | PURGE_TXCLEAR);
}

// The block is not read back to verify it: a driver refuses what it cannot do itself, and some
// virtual lines report a format of their own whatever they were given.
//
// A line without modem lines (under Wine, a pseudo-terminal behind the port) keeps its own
// character format, and its driver refuses a request of which nothing can be honoured: once the
// line holds everything else a block asks for (from an earlier open or an earlier block), asking
// again for 7 data bits or parity is refused as a whole. There only the speed and the rest of the
// block count, as on other systems, so the block is applied again with the format the line holds.
// A line with modem lines gets no such second try: what its driver refuses is raised.
void Win32SerialDevice::ApplySettings(const LineSettings& settings, const std::string& text,
                                      const std::string& source) {
  DCB held{};
  held.DCBlength = sizeof(DCB);
  if (!GetCommState(handle_.Get(), &held))
    throw SettingError(source, port_, path_, "the line settings " + text, SystemErrorText(GetLastError()));
  DCB dcb = held;
  MakeRawLine(dcb);
  SetLineFraming(dcb, settings, text, source);
  SetModemLineControl(dcb, dtrRaised_, rtsRaised_);
  if (SetCommState(handle_.Get(), &dcb)) return;
  const DWORD refused = GetLastError();
  if (!hasModemLines_) {
    KeepCharacterFormat(dcb, held);
    if (SetCommState(handle_.Get(), &dcb)) return;
  }
  // A driver may have taken part of the block (the speed) before refusing the rest; the line goes
  // back to what it held, so that refused settings leave the old ones in force.
  SetCommState(handle_.Get(), &held);
  throw SettingError(source, port_, path_, "the line settings " + text, SystemErrorText(refused));
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

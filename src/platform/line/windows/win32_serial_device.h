// SPDX-License-Identifier: MIT
// An open serial device, owned: opened for this program alone and for overlapped I/O, switched to
// a raw line with the given settings and a read time-out the receive thread relies on. Ending it
// closes the handle.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/line/serial_settings_text.h"
#include "platform/line/windows/win32_serial_handle.h"

namespace kivocom {

class Win32SerialDevice {
 public:
  // A pending read returns after this long with nothing when no byte arrives, so the receive
  // thread's one-byte read never waits without end inside the driver.
  static constexpr DWORD kReadTimeoutMs = 1000;

  // Opens `path`, the device of port `port`, with `settings` (`text` their settings text).
  // Raises 8002 (no device), 8010 (held by another program), 8012 (cannot open) or 8015
  // (settings refused), with `source`.
  Win32SerialDevice(int32_t port, std::string path, const LineSettings& settings, const std::string& text,
                    const std::string& source);

  // The open handle (overlapped).
  HANDLE Handle() const { return handle_.Get(); }
  // The port number it was opened for.
  int32_t Port() const { return port_; }
  // The device path.
  const std::string& Path() const { return path_; }

  // Puts new line settings in force at once; raises 8015 and keeps the old ones when refused. A
  // line without modem lines keeps the character format it holds where it refuses the one asked.
  void ApplySettings(const LineSettings& settings, const std::string& text, const std::string& source);
  // Raises or drops DTR; raises 8015 where the device refuses (a virtual line without modem lines).
  void SetDtr(bool raised, const std::string& source);
  // Raises or drops RTS; raises 8015 like SetDtr.
  void SetRts(bool raised, const std::string& source);

 private:
  void SetModemLine(DWORD function, const std::string& name, const std::string& source);

  int32_t port_;
  std::string path_;
  Win32Handle handle_;
  bool hasModemLines_ = false;  // false for a virtual line (a pseudo-terminal under Wine)
  bool dtrRaised_ = true;  // opening raises both, as on other systems; SetDtr and SetRts change them
  bool rtsRaised_ = true;
};

}  // namespace kivocom

// SPDX-License-Identifier: MIT
// An open serial device, owned: opened without becoming the program's controlling terminal,
// locked against other programs, switched to a raw line with the given settings. Ending it
// restores the attributes the device had before and releases the lock, on every path.
#pragma once

#include <termios.h>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/line/posix/termios_file_descriptor.h"
#include "platform/line/serial_settings_text.h"

namespace kivocom {

class TermiosDevice {
 public:
  // Opens `path`, the device of port `port`, with `settings` (`text` their settings text).
  // `askDriverSettings` false skips the serial driver's settings (the low-latency mode of USB
  // adapters), for a device known to have none. Raises 8002 (no device), 8010 (held by another
  // program), 8012 (cannot open) or 8015 (settings refused), with `source`.
  TermiosDevice(int32_t port, std::string path, const LineSettings& settings, const std::string& text,
                const std::string& source, bool askDriverSettings);

  // The open descriptor (non-blocking).
  int Fd() const { return fd_.Get(); }
  // The port number it was opened for.
  int32_t Port() const { return port_; }
  // The device path.
  const std::string& Path() const { return path_; }
  // Whether the device answered with serial driver settings when asked (a UART or a USB adapter
  // does; a pseudo-terminal does not).
  bool HasDriverSettings() const { return hasDriverSettings_; }

  // Puts new line settings in force at once; raises 8015 and keeps the old ones when refused.
  void ApplySettings(const LineSettings& settings, const std::string& text, const std::string& source);
  // Raises or drops a modem line (TIOCM_DTR, TIOCM_RTS, named `name`); raises 8015 where the
  // device has no modem lines, as on a pseudo-terminal.
  void SetModemLine(int line, bool raised, const std::string& name, const std::string& source);

 private:
  // The attributes a device had when opened, put back when this ends.
  class SavedAttributes {
   public:
    SavedAttributes(int fd, int32_t port, const std::string& path, const std::string& source);
    SavedAttributes(const SavedAttributes&) = delete;
    SavedAttributes& operator=(const SavedAttributes&) = delete;
    ~SavedAttributes();

    // The attributes as they were.
    const termios& Original() const { return original_; }

   private:
    int fd_;
    termios original_{};
  };

  bool HasModemLines();
  void ApplySettingsOver(const termios& previous, const LineSettings& settings, const std::string& text,
                         const std::string& source);

  int32_t port_;
  std::string path_;
  FileDescriptor fd_;
  SavedAttributes saved_;
  std::optional<bool> hasModemLines_;
  bool hasDriverSettings_ = false;
};

}  // namespace kivocom

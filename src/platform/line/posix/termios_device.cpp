// SPDX-License-Identifier: MIT
// Opening, locking, configuring and restoring a serial device.
#include "platform/line/posix/termios_device.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <utility>

#include "kivocom/error.h"
#include "platform/line/posix/kernel_line_attributes.h"
#include "platform/line/posix/termios_errors.h"
#include "platform/line/posix/termios_framing.h"

#ifdef __linux__
#include <linux/serial.h>
#endif

namespace kivocom {
namespace {

// Opens without becoming the controlling terminal and without waiting for a carrier, then takes
// the advisory lock every cooperating program takes. The descriptor is closed before the error
// is built, so the search for the holder does not find this program.
FileDescriptor OpenLocked(int32_t port, const std::string& path, const std::string& source) {
  FileDescriptor fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.Valid()) {
    const int err = errno;
    throw OpenError(source, port, path, err);
  }
  if (flock(fd.Get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    fd = FileDescriptor();
    throw OpenError(source, port, path, EWOULDBLOCK);
  }
  return fd;
}

// USB adapters with a latency timer deliver received bytes at once in low-latency mode; other
// devices (pseudo-terminals among them) have no such setting, which is fine. The mode stays with
// the device, so a reopened adapter is not set again. False when the device has no serial
// driver settings at all.
bool TryLowLatency(int fd) {
#ifdef __linux__
  serial_struct serial{};
  if (ioctl(fd, TIOCGSERIAL, &serial) != 0) return false;
  if (serial.flags & ASYNC_LOW_LATENCY) return true;
  serial.flags |= ASYNC_LOW_LATENCY;
  ioctl(fd, TIOCSSERIAL, &serial);
  return true;
#else
  (void)fd;
  return false;
#endif
}

std::string SystemText(int err) { return std::generic_category().message(err); }

// Puts `attributes` in force at once, as tcsetattr(TCSANOW) does, in one system call. The line's
// rates are all standard ones, whose codes travel in the control modes; the attributes read back
// after every setting show whether the device took them.
int SetAttributesNow(int fd, const termios& attributes) {
  KernelLineAttributes request;
  request.inputModes = attributes.c_iflag;
  request.outputModes = attributes.c_oflag;
  request.controlModes = attributes.c_cflag;
  request.localModes = attributes.c_lflag;
  request.discipline = attributes.c_line;
  std::copy_n(attributes.c_cc, std::min(sizeof request.controlChars, sizeof attributes.c_cc), request.controlChars);
  return SetKernelLineAttributes(fd, request);
}

}  // namespace

TermiosDevice::SavedAttributes::SavedAttributes(int fd, int32_t port, const std::string& path,
                                                const std::string& source)
    : fd_(fd) {
  if (tcgetattr(fd_, &original_) != 0) throw OpenError(source, port, path, errno);
}

TermiosDevice::SavedAttributes::~SavedAttributes() {
  SetAttributesNow(fd_, original_);
  ioctl(fd_, TIOCNXCL);
}

TermiosDevice::TermiosDevice(int32_t port, std::string path, const LineSettings& settings,
                             const std::string& text, const std::string& source, bool askDriverSettings)
    : port_(port),
      path_(std::move(path)),
      fd_(OpenLocked(port_, path_, source)),
      saved_(fd_.Get(), port_, path_, source) {
  // Exclusive mode keeps out programs that do not take the lock; not every device has it.
  ioctl(fd_.Get(), TIOCEXCL);
  hasDriverSettings_ = askDriverSettings && TryLowLatency(fd_.Get());
  ApplySettingsOver(saved_.Original(), settings, text, source);
  tcflush(fd_.Get(), TCIOFLUSH);
}

// A line without modem lines (a pseudo-terminal) carries bytes, not characters on a wire: its
// driver keeps a character format of its own, so only the speed can be checked there.
void TermiosDevice::ApplySettings(const LineSettings& settings, const std::string& text, const std::string& source) {
  termios previous{};
  if (tcgetattr(fd_.Get(), &previous) != 0) {
    const int err = errno;
    throw SettingError(source, port_, path_, "the line settings " + text, SystemText(err));
  }
  ApplySettingsOver(previous, settings, text, source);
}

// `previous` are the attributes in force, put back when the device does not take the new ones.
void TermiosDevice::ApplySettingsOver(const termios& previous, const LineSettings& settings, const std::string& text,
                                      const std::string& source) {
  termios asked = previous;
  MakeRawLine(asked);
  SetLineFraming(asked, settings, text, source);
  if (SetAttributesNow(fd_.Get(), asked) != 0) {
    const int err = errno;
    throw SettingError(source, port_, path_, "the line settings " + text, SystemText(err));
  }
  termios taken{};
  tcgetattr(fd_.Get(), &taken);
  std::string missing = FramingDifference(asked, taken, true);
  if (!missing.empty() && !HasModemLines()) missing = FramingDifference(asked, taken, false);
  if (!missing.empty()) {
    SetAttributesNow(fd_.Get(), previous);
    throw SettingError(source, port_, path_, "the line settings " + text, "it did not take " + missing);
  }
}

// Asked once, when first needed: most openings never need to know.
bool TermiosDevice::HasModemLines() {
  if (!hasModemLines_) {
    int lines = 0;
    hasModemLines_ = ioctl(fd_.Get(), TIOCMGET, &lines) == 0;
  }
  return *hasModemLines_;
}

void TermiosDevice::SetModemLine(int line, bool raised, const std::string& name, const std::string& source) {
  if (!HasModemLines())
    throw SettingError(source, port_, path_, "a change of " + name,
                       "it has no modem lines (a pseudo-terminal or another virtual line)");
  if (ioctl(fd_.Get(), raised ? TIOCMBIS : TIOCMBIC, &line) != 0) {
    const int err = errno;
    throw SettingError(source, port_, path_, "a change of " + name, SystemText(err));
  }
}

}  // namespace kivocom

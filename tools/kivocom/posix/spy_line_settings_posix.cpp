// SPDX-License-Identifier: MIT
#include <cerrno>
#include <cstring>
#include <iterator>

#include "spy_line_settings.h"

namespace kivotool {
namespace {

struct Speed {
  speed_t code;
  int baud;
};

constexpr Speed kSpeeds[] = {
    {B50, 50},       {B75, 75},         {B110, 110},       {B134, 134},       {B150, 150},     {B200, 200},
    {B300, 300},     {B600, 600},       {B1200, 1200},     {B1800, 1800},     {B2400, 2400},   {B4800, 4800},
    {B9600, 9600},   {B19200, 19200},   {B38400, 38400},   {B57600, 57600},   {B115200, 115200},
    {B230400, 230400},
#ifdef B460800
    {B460800, 460800}, {B921600, 921600},
#endif
};

#ifdef CMSPAR
constexpr tcflag_t kStickParity = CMSPAR;
#else
constexpr tcflag_t kStickParity = 0;
#endif
// The control flags the program's choice consists of.
constexpr tcflag_t kFollowedFlags = CSIZE | CSTOPB | PARENB | PARODD | kStickParity | CRTSCTS;

int BaudOf(speed_t code) {
  for (const Speed& speed : kSpeeds)
    if (speed.code == code) return speed.baud;
  return 0;
}

char ParityLetter(tcflag_t flags) {
  if (!(flags & PARENB)) return 'N';
  if (flags & kStickParity) return (flags & PARODD) ? 'M' : 'S';
  return (flags & PARODD) ? 'O' : 'E';
}

int DataBits(tcflag_t flags) {
  switch (flags & CSIZE) {
    case CS5: return 5;
    case CS6: return 6;
    case CS7: return 7;
  }
  return 8;
}

}  // namespace

std::string LineSettingsText(const termios& settings) {
  const int baud = BaudOf(cfgetospeed(&settings));
  return (baud ? std::to_string(baud) : std::string("?")) + "," + ParityLetter(settings.c_cflag) + "," +
         std::to_string(DataBits(settings.c_cflag)) + "," + ((settings.c_cflag & CSTOPB) ? "2" : "1") +
         ((settings.c_cflag & CRTSCTS) ? ",RTS/CTS" : "");
}

bool SameLineSettings(const termios& a, const termios& b) {
  return cfgetospeed(&a) == cfgetospeed(&b) && (a.c_cflag & kFollowedFlags) == (b.c_cflag & kFollowedFlags);
}

bool MakeRawAt(termios& settings, int baud) {
  cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  for (const Speed& speed : kSpeeds) {
    if (speed.baud != baud) continue;
    cfsetispeed(&settings, speed.code);
    cfsetospeed(&settings, speed.code);
    return true;
  }
  return false;
}

termios WithFixedFraming(termios settings, const SpyLine& line) {
  if (line.dataBits) {
    static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    settings.c_cflag = (settings.c_cflag & ~CSIZE) | kSizes[*line.dataBits - 5];
  }
  if (line.parity) {
    settings.c_cflag &= ~(PARENB | PARODD | kStickParity);
    switch (*line.parity) {
      case 'E': settings.c_cflag |= PARENB; break;
      case 'O': settings.c_cflag |= PARENB | PARODD; break;
      case 'M': settings.c_cflag |= PARENB | PARODD | kStickParity; break;
      case 'S': settings.c_cflag |= PARENB | kStickParity; break;
    }
  }
  return settings;
}

bool KeepsFraming(int fd) {
  termios saved{};
  if (tcgetattr(fd, &saved) != 0) return false;
  termios probe = saved;
  probe.c_cflag = (probe.c_cflag & ~CSIZE) | CS7 | PARENB;
  termios after{};
  const bool kept = tcsetattr(fd, TCSANOW, &probe) == 0 && tcgetattr(fd, &after) == 0 &&
                    (after.c_cflag & (CSIZE | PARENB)) == (CS7 | PARENB);
  tcsetattr(fd, TCSANOW, &saved);
  return kept;
}

std::string FollowSettings(int fd, const termios& chosen) {
  termios device{};
  if (tcgetattr(fd, &device) != 0) return std::string("the device takes no line settings: ") + std::strerror(errno);
  device.c_cflag = (device.c_cflag & ~kFollowedFlags) | (chosen.c_cflag & kFollowedFlags);
  cfsetispeed(&device, cfgetospeed(&chosen));
  cfsetospeed(&device, cfgetospeed(&chosen));
  if (tcsetattr(fd, TCSADRAIN, &device) != 0) return std::string("the device refused them: ") + std::strerror(errno);
  return {};
}

}  // namespace kivotool

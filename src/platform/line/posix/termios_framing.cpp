// SPDX-License-Identifier: MIT
// Line settings as terminal attributes.
#include "platform/line/posix/termios_framing.h"

#include <array>
#include <utility>

#include "kivocom/error.h"

namespace kivocom {
namespace {

// The parity flags that tell one parity from another; CMSPAR makes PARODD mean mark and its
// absence space, where the system has it.
#ifdef CMSPAR
constexpr tcflag_t kStickParity = CMSPAR;
#else
constexpr tcflag_t kStickParity = 0;
#endif
constexpr tcflag_t kFormatFlags = CSIZE | PARENB | PARODD | CSTOPB | kStickParity;

constexpr std::array<std::pair<int, speed_t>, 14> kSpeeds = {{{150, B150},
                                                              {300, B300},
                                                              {600, B600},
                                                              {1200, B1200},
                                                              {2400, B2400},
                                                              {4800, B4800},
                                                              {9600, B9600},
                                                              {19200, B19200},
                                                              {38400, B38400},
                                                              {57600, B57600},
                                                              {115200, B115200},
                                                              {230400, B230400},
                                                              {460800, B460800},
                                                              {921600, B921600}}};

[[noreturn]] void Refuse(const std::string& text, const std::string& source, const std::string& reason) {
  throw Error(kErrCannotSetCommState, source, "This system cannot use the line settings " + text + ": " + reason + ".");
}

speed_t SpeedOf(int baud) {
  for (auto [rate, speed] : kSpeeds)
    if (rate == baud) return speed;
  return B0;
}

int RateOf(speed_t speed) {
  for (auto [rate, constant] : kSpeeds)
    if (constant == speed) return rate;
  return 0;
}

tcflag_t CharacterSize(int dataBits) {
  switch (dataBits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
  }
}

tcflag_t ParityFlags(char parity) {
  switch (parity) {
    case 'E': return PARENB;
    case 'O': return PARENB | PARODD;
    case 'M': return PARENB | PARODD | kStickParity;
    case 'S': return PARENB | kStickParity;
    default: return 0;
  }
}

}  // namespace

void CheckSystemCanUse(const LineSettings& settings, const std::string& text, const std::string& source) {
  if (settings.dataBits < 5) Refuse(text, source, "its serial lines have no 4-bit characters, only 5 to 8 data bits");
  if (settings.stopBits == StopBits::OneAndHalf && settings.dataBits != 5)
    Refuse(text, source, "1.5 stop bits exist only with 5 data bits (the hardware sends 1.5 where 2 are asked)");
  if ((settings.parity == 'M' || settings.parity == 'S') && kStickParity == 0)
    Refuse(text, source, "it has no mark or space parity");
  if (SpeedOf(settings.baud) == B0) Refuse(text, source, "it has no speed " + std::to_string(settings.baud));
}

void MakeRawLine(termios& attributes) {
  cfmakeraw(&attributes);
  attributes.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | IMAXBEL);
  attributes.c_cflag &= ~CRTSCTS;
  attributes.c_cflag |= CLOCAL | CREAD;
  attributes.c_cc[VMIN] = 1;
  attributes.c_cc[VTIME] = 0;
}

void SetLineFraming(termios& attributes, const LineSettings& settings, const std::string& text,
                    const std::string& source) {
  CheckSystemCanUse(settings, text, source);
  attributes.c_cflag &= ~kFormatFlags;
  attributes.c_cflag |= CharacterSize(settings.dataBits) | ParityFlags(settings.parity);
  // With 5 data bits the hardware sends 1.5 stop bits when two are asked for.
  if (settings.stopBits != StopBits::One) attributes.c_cflag |= CSTOPB;
  cfsetispeed(&attributes, SpeedOf(settings.baud));
  cfsetospeed(&attributes, SpeedOf(settings.baud));
}

std::string FramingDifference(const termios& asked, const termios& taken, bool checkCharacterFormat) {
  if (cfgetospeed(&taken) != cfgetospeed(&asked) || cfgetispeed(&taken) != cfgetispeed(&asked))
  {
    const int actual = RateOf(cfgetospeed(&taken));
    return "the speed " + std::to_string(RateOf(cfgetospeed(&asked))) + " (it runs at " +
           (actual ? std::to_string(actual) : std::string("another speed")) + ")";
  }
  if (checkCharacterFormat && (taken.c_cflag & kFormatFlags) != (asked.c_cflag & kFormatFlags))
    return "the character format (data bits, parity or stop bits)";
  return {};
}

}  // namespace kivocom

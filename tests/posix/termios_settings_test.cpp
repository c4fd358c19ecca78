// SPDX-License-Identifier: MIT
// The settings text of the termios line: strict reading, what this system can honour, and the
// terminal attributes each text becomes.
#include <gtest/gtest.h>
#include <termios.h>

#include <string>

#include "kivocom/error.h"
#include "platform/line/posix/termios_framing.h"
#include "platform/line/serial_settings_text.h"

namespace kivocom {
namespace {

const std::string kSource = "SerialControl - Settings";

// The error number `text` raises when read and turned into attributes; 0 when it is taken.
int32_t Refusal(const std::string& text, std::string& description) {
  try {
    termios attributes{};
    SetLineFraming(attributes, ParseLineSettings(text, kSource), text, kSource);
  } catch (const Error& e) {
    EXPECT_EQ(e.Source(), kSource);
    description = e.Description();
    return e.Number();
  }
  return 0;
}

TEST(TermiosSettingsText, RefusesWhatItCannotHonourNeverApproximating) {
  struct Row {
    const char* text;
    int32_t number;
    const char* named;  // what the description points at
  };
  const Row rows[] = {
      {"", kErrInvalidPropertyValue, "1 fields"},
      {"9600,N,8", kErrInvalidPropertyValue, "3 fields"},
      {"9600,N,8,1,", kErrInvalidPropertyValue, "5 fields"},
      {"9601,N,8,1", kErrInvalidPropertyValue, "rate \"9601\""},
      {"09600,N,8,1", kErrInvalidPropertyValue, "rate \"09600\""},
      {" 9600,N,8,1", kErrInvalidPropertyValue, "rate \" 9600\""},
      {"110,N,8,1", kErrInvalidPropertyValue, "rate \"110\""},
      {"9600,X,8,1", kErrInvalidPropertyValue, "parity \"X\""},
      {"9600,NN,8,1", kErrInvalidPropertyValue, "parity \"NN\""},
      {"9600,N,9,1", kErrInvalidPropertyValue, "data bits \"9\""},
      {"9600,N,08,1", kErrInvalidPropertyValue, "data bits \"08\""},
      {"9600,N,8,0", kErrInvalidPropertyValue, "stop bits \"0\""},
      {"9600,N,8,1.0", kErrInvalidPropertyValue, "stop bits \"1.0\""},
      {"9600;N;8;1", kErrInvalidPropertyValue, "1 fields"},
      {"9600,N,4,1", kErrCannotSetCommState, "no 4-bit characters"},
      {"9600,N,8,1.5", kErrCannotSetCommState, "1.5 stop bits exist only with 5 data bits"},
      {"9600,E,7,1.5", kErrCannotSetCommState, "1.5 stop bits"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    std::string description;
    EXPECT_EQ(Refusal(row.text, description), row.number);
    EXPECT_NE(description.find(row.named), std::string::npos) << description;
  }
}

TEST(TermiosSettingsText, EachTextBecomesItsAttributes) {
  struct Row {
    const char* text;
    tcflag_t size;
    tcflag_t parity;  // PARENB, PARODD and CMSPAR as set
    bool twoStopBits;
    speed_t speed;
  };
  const Row rows[] = {
      {"9600,N,8,1", CS8, 0, false, B9600},
      {"2400,E,7,2", CS7, PARENB, true, B2400},
      {"19200,o,7,1", CS7, PARENB | PARODD, false, B19200},
      {"921600,M,8,1", CS8, PARENB | PARODD | CMSPAR, false, B921600},
      {"150,S,6,1", CS6, PARENB | CMSPAR, false, B150},
      {"1200,n,5,1.5", CS5, 0, true, B1200},  // the hardware sends 1.5 for CSTOPB with 5 bits
      {"460800,N,8,1", CS8, 0, false, B460800},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    termios attributes{};
    attributes.c_cflag = CS8 | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;  // leftovers must go
    attributes.c_lflag = ECHO | ICANON;
    MakeRawLine(attributes);
    SetLineFraming(attributes, ParseLineSettings(row.text, kSource), row.text, kSource);
    EXPECT_EQ(attributes.c_cflag & CSIZE, row.size);
    EXPECT_EQ(attributes.c_cflag & (PARENB | PARODD | CMSPAR), row.parity);
    EXPECT_EQ((attributes.c_cflag & CSTOPB) != 0, row.twoStopBits);
    EXPECT_EQ(attributes.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(attributes.c_lflag & (ECHO | ICANON), 0u);
    EXPECT_EQ(cfgetospeed(&attributes), row.speed);
    EXPECT_EQ(cfgetispeed(&attributes), row.speed);
  }
}

TEST(TermiosSettingsText, ReportsWhatTheDeviceDidNotTake) {
  termios asked{};
  MakeRawLine(asked);
  SetLineFraming(asked, ParseLineSettings("19200,E,7,1", kSource), "19200,E,7,1", kSource);
  EXPECT_EQ(FramingDifference(asked, asked, true), "");

  termios slower = asked;
  cfsetspeed(&slower, B9600);
  EXPECT_EQ(FramingDifference(asked, slower, false), "the speed 19200 (it runs at 9600)");

  // A pseudo-terminal keeps 8 bits without parity whatever is asked; that is checked only on
  // lines with a wire.
  termios eightBits = asked;
  eightBits.c_cflag = (eightBits.c_cflag & ~(CSIZE | PARENB)) | CS8;
  EXPECT_NE(FramingDifference(asked, eightBits, true), "");
  EXPECT_EQ(FramingDifference(asked, eightBits, false), "");
}

}  // namespace
}  // namespace kivocom

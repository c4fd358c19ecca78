// The settings text of the termios line: strict reading, what this system can honour, and the
// terminal attributes each text becomes.
#include <gtest/gtest.h>
#include <termios.h>

#include <string>

#include "kivocom/error.h"
#include "platform/posix/termios_framing.h"
#include "platform/posix/termios_settings_text.h"

namespace kivocom {
namespace {

const std::string kSource = "SerialControl - Settings";

struct GoodText {
  const char* text;
  int baud;
  char parity;
  int dataBits;
  StopBits stopBits;
};

TEST(TermiosSettingsText, ReadsEveryWellFormedText) {
  const GoodText rows[] = {
      {"9600,N,8,1", 9600, 'N', 8, StopBits::One},       {"2400,E,7,2", 2400, 'E', 7, StopBits::Two},
      {"150,O,5,1.5", 150, 'O', 5, StopBits::OneAndHalf}, {"921600,M,6,1", 921600, 'M', 6, StopBits::One},
      {"300,S,4,2", 300, 'S', 4, StopBits::Two},         {"115200,e,8,1", 115200, 'E', 8, StopBits::One},
      {"460800,n,7,1", 460800, 'N', 7, StopBits::One},
  };
  for (const GoodText& row : rows) {
    SCOPED_TRACE(row.text);
    const LineSettings settings = ParseLineSettings(row.text, kSource);
    EXPECT_EQ(settings.baud, row.baud);
    EXPECT_EQ(settings.parity, row.parity);
    EXPECT_EQ(settings.dataBits, row.dataBits);
    EXPECT_EQ(settings.stopBits, row.stopBits);
  }
  for (int rate : {150, 300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600})
    EXPECT_EQ(ParseLineSettings(std::to_string(rate) + ",N,8,1", kSource).baud, rate);
}

struct BadText {
  const char* text;
  const char* named;  // what the description must point at
};

TEST(TermiosSettingsText, RefusesMalformedTextsWith380) {
  const BadText rows[] = {
      {"", "1 fields"},
      {"9600,N,8", "3 fields"},
      {"9600,N,8,1,", "5 fields"},
      {"9601,N,8,1", "rate \"9601\""},
      {"09600,N,8,1", "rate \"09600\""},
      {" 9600,N,8,1", "rate \" 9600\""},
      {"110,N,8,1", "rate \"110\""},
      {"9600,X,8,1", "parity \"X\""},
      {"9600,NN,8,1", "parity \"NN\""},
      {"9600,,8,1", "parity \"\""},
      {"9600,N,9,1", "data bits \"9\""},
      {"9600,N,3,1", "data bits \"3\""},
      {"9600,N,08,1", "data bits \"08\""},
      {"9600,N,8,0", "stop bits \"0\""},
      {"9600,N,8,1.0", "stop bits \"1.0\""},
      {"9600,N,8,3", "stop bits \"3\""},
      {"9600;N;8;1", "1 fields"},
  };
  for (const BadText& row : rows) {
    SCOPED_TRACE(row.text);
    try {
      ParseLineSettings(row.text, kSource);
      ADD_FAILURE() << "accepted";
    } catch (const Error& e) {
      EXPECT_EQ(e.Number(), kErrInvalidPropertyValue);
      EXPECT_EQ(e.Source(), kSource);
      EXPECT_NE(e.Description().find(row.named), std::string::npos) << e.Description();
    }
  }
}

TEST(TermiosSettingsText, BitsPerCharacterCountStartParityAndStop) {
  EXPECT_EQ(ParseLineSettings("9600,N,8,1", kSource).BitsPerCharacter(), 10);
  EXPECT_EQ(ParseLineSettings("2400,E,7,2", kSource).BitsPerCharacter(), 11);
  EXPECT_EQ(ParseLineSettings("150,O,5,1.5", kSource).BitsPerCharacter(), 9);
}

struct Framing {
  const char* text;
  tcflag_t size;
  tcflag_t parityFlags;  // PARENB, PARODD and CMSPAR as set
  bool twoStopBits;
  speed_t speed;
};

TEST(TermiosFraming, EachTextBecomesItsAttributes) {
  const Framing rows[] = {
      {"9600,N,8,1", CS8, 0, false, B9600},
      {"2400,E,7,2", CS7, PARENB, true, B2400},
      {"19200,O,7,1", CS7, PARENB | PARODD, false, B19200},
      {"921600,M,8,1", CS8, PARENB | PARODD | CMSPAR, false, B921600},
      {"150,S,6,1", CS6, PARENB | CMSPAR, false, B150},
      {"1200,N,5,1.5", CS5, 0, true, B1200},
  };
  for (const Framing& row : rows) {
    SCOPED_TRACE(row.text);
    termios attributes{};
    attributes.c_cflag = CS8 | PARENB | PARODD | CMSPAR | CSTOPB;  // leftovers must go
    MakeRawLine(attributes);
    SetLineFraming(attributes, ParseLineSettings(row.text, kSource), row.text, kSource);
    EXPECT_EQ(attributes.c_cflag & CSIZE, row.size);
    EXPECT_EQ(attributes.c_cflag & (PARENB | PARODD | CMSPAR), row.parityFlags);
    EXPECT_EQ((attributes.c_cflag & CSTOPB) != 0, row.twoStopBits);
    EXPECT_EQ(cfgetospeed(&attributes), row.speed);
    EXPECT_EQ(cfgetispeed(&attributes), row.speed);
  }
}

TEST(TermiosFraming, RawLineHasNoEchoTranslationOrFlowControl) {
  termios attributes{};
  attributes.c_iflag = ICRNL | INLCR | IGNCR | IXON | IXOFF | ISTRIP;
  attributes.c_oflag = OPOST | ONLCR;
  attributes.c_lflag = ECHO | ICANON | ISIG | IEXTEN;
  attributes.c_cflag = CRTSCTS | HUPCL;
  MakeRawLine(attributes);
  EXPECT_EQ(attributes.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF | ISTRIP), 0u);
  EXPECT_EQ(attributes.c_oflag & OPOST, 0u);
  EXPECT_EQ(attributes.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
  EXPECT_EQ(attributes.c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(attributes.c_cflag & (CLOCAL | CREAD), tcflag_t{CLOCAL | CREAD});
  EXPECT_EQ(attributes.c_cc[VMIN], 1);
  EXPECT_EQ(attributes.c_cc[VTIME], 0);
}

TEST(TermiosFraming, RefusesWhatTheSystemCannotHonourWith8015) {
  const BadText rows[] = {
      {"9600,N,4,1", "4-bit"},
      {"9600,N,8,1.5", "1.5 stop bits"},
      {"9600,E,7,1.5", "1.5 stop bits"},
  };
  for (const BadText& row : rows) {
    SCOPED_TRACE(row.text);
    termios attributes{};
    try {
      SetLineFraming(attributes, ParseLineSettings(row.text, kSource), row.text, kSource);
      ADD_FAILURE() << "accepted";
    } catch (const Error& e) {
      EXPECT_EQ(e.Number(), kErrCannotSetCommState);
      EXPECT_NE(e.Description().find(row.named), std::string::npos) << e.Description();
      EXPECT_NE(e.Description().find(row.text), std::string::npos) << e.Description();
    }
  }
}

TEST(TermiosFraming, ReportsWhatTheDeviceDidNotTake) {
  termios asked{};
  MakeRawLine(asked);
  SetLineFraming(asked, ParseLineSettings("19200,E,7,1", kSource), "19200,E,7,1", kSource);
  EXPECT_EQ(FramingDifference(asked, asked, true), "");

  termios slower = asked;
  cfsetospeed(&slower, B9600);
  cfsetispeed(&slower, B9600);
  EXPECT_EQ(FramingDifference(asked, slower, false), "the speed 19200 (it runs at 9600)");

  // A pseudo-terminal keeps 8 bits without parity whatever is asked; that is only checked on
  // lines with a wire.
  termios eightBits = asked;
  eightBits.c_cflag = (eightBits.c_cflag & ~(CSIZE | PARENB)) | CS8;
  EXPECT_NE(FramingDifference(asked, eightBits, true), "");
  EXPECT_EQ(FramingDifference(asked, eightBits, false), "");
}

}  // namespace
}  // namespace kivocom

// SPDX-License-Identifier: MIT
// The settings text of the Win32 line: what each text becomes in the device control block, and
// the texts refused before any driver sees them.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "kivocom/error.h"
#include "platform/line/windows/win32_serial_framing.h"

namespace kivocom {
namespace {

const std::string kSource = "SerialControl - Settings";

DCB BlockFor(const std::string& text) {
  DCB dcb{};
  dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = dcb.fOutX = dcb.fInX = dcb.fAbortOnError = dcb.fNull = TRUE;
  dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
  dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
  MakeRawLine(dcb);
  SetLineFraming(dcb, ParseLineSettings(text, kSource), text, kSource);
  return dcb;
}

TEST(Win32SerialFraming, EachTextBecomesItsBlock) {
  struct Row {
    const char* text;
    DWORD baud;
    BYTE byteSize;
    BYTE parity;
    BYTE stopBits;
  };
  const Row rows[] = {
      {"9600,N,8,1", 9600, 8, NOPARITY, ONESTOPBIT},
      {"2400,E,7,2", 2400, 7, EVENPARITY, TWOSTOPBITS},
      {"19200,o,7,1", 19200, 7, ODDPARITY, ONESTOPBIT},
      {"921600,M,8,1", 921600, 8, MARKPARITY, ONESTOPBIT},
      {"150,S,6,1", 150, 6, SPACEPARITY, ONESTOPBIT},
      {"1200,n,5,1.5", 1200, 5, NOPARITY, ONE5STOPBITS},
      {"460800,N,8,2", 460800, 8, NOPARITY, TWOSTOPBITS},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    const DCB dcb = BlockFor(row.text);
    EXPECT_EQ(dcb.BaudRate, row.baud);
    EXPECT_EQ(dcb.ByteSize, row.byteSize);
    EXPECT_EQ(dcb.Parity, row.parity);
    EXPECT_EQ(dcb.fParity, row.parity == NOPARITY ? 0u : 1u);
    EXPECT_EQ(dcb.StopBits, row.stopBits);
    // A raw line whatever the driver held before: no flow control, no byte stripped, errors
    // never stop reads and writes.
    EXPECT_EQ(dcb.DCBlength, sizeof(DCB));
    EXPECT_TRUE(dcb.fBinary);
    EXPECT_FALSE(dcb.fOutxCtsFlow || dcb.fOutxDsrFlow || dcb.fDsrSensitivity || dcb.fOutX || dcb.fInX);
    EXPECT_FALSE(dcb.fErrorChar || dcb.fNull || dcb.fAbortOnError);
  }
}

TEST(Win32SerialFraming, RefusesWhatItCannotHonourAsOtherSystemsDo) {
  struct Row {
    const char* text;
    int32_t number;
    const char* named;
  };
  const Row rows[] = {
      {"9600,N,8", kErrInvalidPropertyValue, "3 fields"},
      {"9601,N,8,1", kErrInvalidPropertyValue, "rate \"9601\""},
      {"9600,X,8,1", kErrInvalidPropertyValue, "parity \"X\""},
      {"9600,N,4,1", kErrCannotSetCommState, "no 4-bit characters"},
      {"9600,N,8,1.5", kErrCannotSetCommState, "1.5 stop bits exist only with 5 data bits"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    try {
      BlockFor(row.text);
      ADD_FAILURE() << "taken";
    } catch (const Error& e) {
      EXPECT_EQ(e.Number(), row.number);
      EXPECT_EQ(e.Source(), kSource);
      EXPECT_NE(e.Description().find(row.named), std::string::npos) << e.Description();
    }
  }
}

// Applying new settings must not undo DTREnable or RTSEnable; the lines are never handshake lines.
TEST(Win32SerialFraming, ModemLinesKeepTheirLastState) {
  const struct {
    bool dtr, rts;
    DWORD dtrControl, rtsControl;
  } rows[] = {{true, true, DTR_CONTROL_ENABLE, RTS_CONTROL_ENABLE},
              {false, true, DTR_CONTROL_DISABLE, RTS_CONTROL_ENABLE},
              {true, false, DTR_CONTROL_ENABLE, RTS_CONTROL_DISABLE}};
  for (const auto& row : rows) {
    DCB dcb = BlockFor("9600,N,8,1");
    SetModemLineControl(dcb, row.dtr, row.rts);
    EXPECT_EQ(dcb.fDtrControl, row.dtrControl);
    EXPECT_EQ(dcb.fRtsControl, row.rtsControl);
  }
}

// A virtual line that refuses the format asked keeps its own; the speed, the raw line and the
// modem lines of the block stay as asked.
TEST(Win32SerialFraming, KeepingTheHeldFormatChangesNothingElse) {
  DCB held = BlockFor("9600,N,8,1");
  SetModemLineControl(held, false, false);
  held.XonChar = 0x11;
  DCB dcb = BlockFor("115200,E,7,2");
  SetModemLineControl(dcb, true, false);
  dcb.XonChar = 0x21;
  KeepCharacterFormat(dcb, held);
  EXPECT_EQ(dcb.ByteSize, 8);
  EXPECT_EQ(dcb.Parity, NOPARITY);
  EXPECT_FALSE(dcb.fParity);
  EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
  EXPECT_EQ(dcb.BaudRate, 115200u);
  EXPECT_EQ(dcb.fDtrControl, DTR_CONTROL_ENABLE);
  EXPECT_EQ(dcb.fRtsControl, RTS_CONTROL_DISABLE);
  EXPECT_EQ(dcb.XonChar, 0x21);
  EXPECT_TRUE(dcb.fBinary);
  EXPECT_FALSE(dcb.fOutxCtsFlow || dcb.fOutX || dcb.fInX || dcb.fAbortOnError);

  DCB odd = BlockFor("1200,O,5,1.5");
  KeepCharacterFormat(odd, BlockFor("2400,M,6,2"));
  EXPECT_EQ(odd.ByteSize, 6);
  EXPECT_EQ(odd.Parity, MARKPARITY);
  EXPECT_TRUE(odd.fParity);
  EXPECT_EQ(odd.StopBits, TWOSTOPBITS);
  EXPECT_EQ(odd.BaudRate, 1200u);
}

}  // namespace
}  // namespace kivocom

// SPDX-License-Identifier: MIT
// The port object's defaults, settings checks, baud-rate names and lifecycle.
#include <gtest/gtest.h>

#include "kivocom/kivocom.h"
#include "kivocom/memory_serial_control.h"
#include "support/memory_line.h"

namespace kivocom {
namespace {

class PortObjectTest : public MemoryLineTest {};

TEST_F(PortObjectTest, NewPortHasTheDocumentedDefaults) {
  CCOMPort p;
  EXPECT_EQ(p.port(), COM_NONE);
  EXPECT_EQ(p.BaudRate(), BAUD_NONE);
  EXPECT_EQ(p.MinBaudRate(), BAUD_NONE);
  EXPECT_EQ(p.MaxBaudRate(), BAUD_NONE);
  EXPECT_EQ(p.ControllerStyle(), CS_KIVO);
  EXPECT_EQ(p.Parity(), PARITY_NONE);
  EXPECT_EQ(p.DataBits(), DATA_8BITS);
  EXPECT_EQ(p.StopBits(), STOP_1BIT);
  EXPECT_TRUE(p.AutoClose());
  EXPECT_EQ(p.Retries(), 5);
  EXPECT_EQ(p.TimeOut(), 3000);
  EXPECT_TRUE(p.StripCRLF());
  EXPECT_TRUE(p.CheckNonAscii());
  EXPECT_FALSE(p.UseIrDADongle());
  EXPECT_FALSE(p.UsesSmartSwitch());
  EXPECT_FALSE(p.Debugging());
  EXPECT_FALSE(p.IsConfigured());
  EXPECT_TRUE(control->Calls().empty()) << "construction must not touch the line";
}

TEST_F(PortObjectTest, BaudRateIsCheckedAgainstTheLimits) {
  CCOMPort p;
  try {
    p.BaudRate(BAUD_9600);
    FAIL() << "BAUD_9600 accepted with both limits at BAUD_NONE";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), static_cast<int32_t>(0x80040036));
    EXPECT_EQ(e.Source(), "CCOMPort - Let BaudRate");
    EXPECT_EQ(e.Description(), "Baud rate not supported.");
  }
  EXPECT_EQ(p.BaudRate(), BAUD_NONE);
  p.MaxBaudRate(BAUD_115200);
  p.BaudRate(BAUD_9600);
  EXPECT_EQ(p.BaudRate(), BAUD_9600);

  p.MinBaudRate(BAUD_1200);
  p.MaxBaudRate(BAUD_19200);
  EXPECT_THROW(p.BaudRate(BAUD_600), Error);
  EXPECT_THROW(p.BaudRate(BAUD_38400), Error);
  p.BaudRate(BAUD_1200);
  p.BaudRate(BAUD_19200);
  p.MaxBaudRate(BAUD_2400);
  EXPECT_EQ(p.BaudRate(), BAUD_19200) << "lowering the limit does not touch the rate";
}

TEST_F(PortObjectTest, BaudRateNames) {
  CCOMPort p;
  const char* names[] = {"150",   "300",   "600",   "1200",   "2400",   "4800",   "9600",
                         "19200", "38400", "57600", "115200", "230400", "460800", "921600"};
  for (int32_t i = 0; i < 14; ++i) EXPECT_EQ(p.BaudRateName(i), names[i]) << i;
  EXPECT_EQ(p.BaudRateName(BAUD_NONE), "2400");
  EXPECT_EQ(p.BaudRateName(14), "2400");
  EXPECT_EQ(p.BaudRateName(), "2400") << "current rate BAUD_NONE";
  p.MaxBaudRate(BAUD_921600);
  p.BaudRate(BAUD_57600);
  EXPECT_EQ(p.BaudRateName(), "57600");
}

TEST_F(PortObjectTest, ControllerStyleFixesLineSettings) {
  CCOMPort p;
  p.ControllerStyle(CS_AZONIX);
  EXPECT_EQ(p.Parity(), PARITY_EVEN);
  EXPECT_EQ(p.DataBits(), DATA_7BITS);
  EXPECT_EQ(p.StopBits(), STOP_2BITS);
  p.ControllerStyle(CS_OMEGA);
  EXPECT_EQ(p.StopBits(), STOP_1BIT);
  EXPECT_EQ(p.DataBits(), DATA_7BITS);
  p.ControllerStyle(CS_XSYS);
  EXPECT_EQ(p.Parity(), PARITY_NONE);
  EXPECT_EQ(p.DataBits(), DATA_8BITS);
  for (int32_t odd : {7, -1}) {
    p.ControllerStyle(static_cast<EControllerStyle>(odd));
    EXPECT_EQ(p.ControllerStyle(), odd);
    EXPECT_EQ(p.Parity(), PARITY_NONE);
    EXPECT_EQ(p.DataBits(), DATA_8BITS);
    EXPECT_EQ(p.StopBits(), STOP_1BIT);
  }
}

TEST_F(PortObjectTest, IsConfiguredNeedsPortAndRate) {
  CCOMPort p;
  p.port(12);
  EXPECT_EQ(p.port(), 12);
  EXPECT_FALSE(p.IsConfigured());
  p.MaxBaudRate(BAUD_9600);
  p.BaudRate(BAUD_9600);
  EXPECT_TRUE(p.IsConfigured());
  p.port(0);
  EXPECT_TRUE(p.IsConfigured()) << "0 is a chosen port as far as the check goes";
  p.port(COM_NONE);
  EXPECT_FALSE(p.IsConfigured());
}

TEST_F(PortObjectTest, PortsOfAThreadShareOneControlButNotSettings) {
  CCOMPort a;
  CCOMPort b;
  EXPECT_EQ(&a.COMControl(), &b.COMControl());
  a.port(3);
  a.Retries(2);
  EXPECT_EQ(b.port(), COM_NONE);
  EXPECT_EQ(b.Retries(), 5);
}

TEST_F(PortObjectTest, EndingAPortClosesTheSharedLine) {
  CCOMPort keeper;
  {
    CCOMPort other;
    control->PortOpen(true);
  }
  EXPECT_FALSE(control->PortOpen());
}

TEST_F(PortObjectTest, ClearBuffersEmptiesBothDirections) {
  CCOMPort p;
  control->PortOpen(true);
  control->HoldOutput(true);
  control->Output("pending");
  control->QueueInput("waiting");
  ASSERT_GT(control->OutBufferCount(), 0);
  p.ClearBuffers();
  EXPECT_EQ(control->OutBufferCount(), 0);
  EXPECT_EQ(control->InBufferCount(), 0);
  control->PortOpen(false);
  EXPECT_THROW(p.ClearBuffers(), Error) << "a closed line's error reaches the caller";
}

TEST_F(PortObjectTest, SwitchBelongsToItsPortAndForgetsItWhenThePortEnds) {
  CSmartSwitch standalone;
  EXPECT_EQ(standalone.Style(), SSS_BB8PORT);
  EXPECT_EQ(standalone.NumPorts(), 8);
  EXPECT_EQ(standalone.CurrentPort(), "");
  EXPECT_EQ(standalone.Parent(), nullptr);
  {
    CCOMPort p;
    standalone.Parent(&p);
    EXPECT_EQ(standalone.Parent(), &p);
  }
  EXPECT_EQ(standalone.Parent(), nullptr) << "a parent that ended must not dangle";
}

TEST_F(PortObjectTest, SwitchStyleSetsPortCount) {
  CSmartSwitch s;
  s.Style(SSS_BB4PORT);
  EXPECT_EQ(s.NumPorts(), 4);
  s.Style(SSS_BT528AP);
  EXPECT_EQ(s.NumPorts(), 8);
  s.Style(SSS_BB4PORT);
  s.Style(static_cast<ESmartSwitchStyle>(7));
  EXPECT_EQ(s.Style(), 7);
  EXPECT_EQ(s.NumPorts(), 4);
}

}  // namespace
}  // namespace kivocom

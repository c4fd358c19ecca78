// SPDX-License-Identifier: MIT
// The rules every serial line shares, over a scripted driver: which received bytes a clearing
// keeps, what a lost line leaves readable and raises, and what a closed line refuses.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "kivocom/error.h"
#include "platform/line/line_core.h"
#include "platform/line/received_bytes.h"

namespace kivocom {
namespace {

TEST(ReceivedBytesTest, TheMarkKeepsWhatCameAfterTheLastSend) {
  ReceivedBytes bytes;
  bytes.Append("echo\r");
  bytes.MarkSend();
  bytes.Append("+0023.45\r\n");
  EXPECT_EQ(bytes.DiscardBeforeMark(), 5u);
  EXPECT_EQ(bytes.TakeAll(), "+0023.45\r\n");
  EXPECT_EQ(bytes.DiscardBeforeMark(), 0u) << "nothing older is left once taken";
}

// A driver that reads its device in later counts what the device held at the send as older; a
// discard of the device's bytes means those never come, so the answer after them is kept.
TEST(ReceivedBytesTest, BytesStillInTheDeviceAtTheSendCountAsOlder) {
  ReceivedBytes bytes;
  bytes.MarkSend(3);
  bytes.Append("old" "new");
  EXPECT_EQ(bytes.DiscardBeforeMark(), 3u);
  EXPECT_EQ(bytes.TakeAll(), "new");

  bytes.MarkSend(4);
  bytes.DiscardAll();
  bytes.Append("answer");
  EXPECT_EQ(bytes.DiscardBeforeMark(), 0u);
  EXPECT_EQ(bytes.Size(), 6u);
}

TEST(ReceivedBytesTest, RoomShrinksToNothingAtTheBound) {
  ReceivedBytes bytes;
  bytes.Append(std::string(ReceivedBytes::kCapacity - 1, 'x'));
  EXPECT_EQ(bytes.Room(), 1u);
  bytes.Append("y");
  EXPECT_EQ(bytes.Room(), 0u);
  bytes.Reset();
  EXPECT_EQ(bytes.Room(), ReceivedBytes::kCapacity);
}

// A driver whose received bytes, pending output and loss the test sets.
struct ScriptedDriver : LineDriver {
  void Apply(const LineSettings&, const std::string& text, const std::string&) override { applied = text; }
  void Send(std::string_view data) override {
    sent += data;
    received.MarkSend();
  }
  std::size_t PendingOutput() override { return unsent; }
  void DiscardOutput() override { unsent = 0; }
  std::size_t PendingInput() override { return received.Size(); }
  std::string TakeInput() override { return received.TakeAll(); }
  void DiscardInput() override { received.DiscardAll(); }
  void DiscardInputBeforeLastSend() override { received.DiscardBeforeMark(); }
  bool WaitForInput(Deadline) override { return !received.Empty(); }
  bool WaitForOutputSent(Deadline, std::chrono::nanoseconds) override {
    ++drainWaits;
    return unsent == 0;
  }
  void SetModemLine(ModemLine, bool, const std::string&) override {}
  std::optional<LineLoss> Loss() override { return loss; }

  std::string applied, sent;
  ReceivedBytes received;
  std::size_t unsent = 0;
  int drainWaits = 0;
  std::optional<LineLoss> loss;
};

struct ScriptedSource : LineSource {
  explicit ScriptedSource(ScriptedDriver& d) : driver(d) {}
  std::string Device(int32_t) override { return "/dev/scripted"; }
  void Check(int32_t, const LineSettings& settings, const std::string&, const std::string& source) override {
    if (settings.dataBits == 5) throw Error(kErrCannotSetCommState, source, "five data bits refused");
  }
  LineDriver& Open(int32_t, const LineSettings&, const std::string& text, const std::string&) override {
    ++opens;
    driver.applied = text;
    driver.loss.reset();
    driver.received.Reset();
    return driver;
  }
  void Close() override { ++closes; }
  ScriptedDriver& driver;
  int opens = 0, closes = 0;
};

int32_t ErrorNumberOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Error& e) {
    return e.Number();
  }
  return 0;
}

class LineCoreTest : public ::testing::Test {
 protected:
  LineCoreTest() {
    auto owned = std::make_unique<ScriptedSource>(driver);
    source = owned.get();
    core = std::make_unique<LineCore>(std::move(owned));
  }
  ScriptedDriver driver;
  ScriptedSource* source = nullptr;
  std::unique_ptr<LineCore> core;
};

TEST_F(LineCoreTest, TheLastClearingKeepsAQuickAnswer) {
  core->PortOpen(true);
  driver.received.Append("\r");
  core->Output("PV\r");
  driver.received.Append("+0023.45\r\n");
  core->DiscardInputBeforeLastOutput();
  EXPECT_EQ(core->Input(), "+0023.45\r\n");
}

TEST_F(LineCoreTest, ALostLineLeavesItsBytesOnceThenRaisesUntilOpenedAgain) {
  core->PortOpen(true);
  driver.received.Append("+00");
  driver.loss = LineLoss{kErrReadingDevice, "COM1 (/dev/scripted) was removed"};
  EXPECT_FALSE(core->PortOpen());
  EXPECT_EQ(source->closes, 1) << "let go at once";
  EXPECT_TRUE(core->WaitForInput(0));
  EXPECT_EQ(core->InBufferCount(), 3);
  EXPECT_EQ(core->Input(), "+00");
  EXPECT_EQ(ErrorNumberOf([&] { core->Input(); }), kErrReadingDevice);
  EXPECT_EQ(ErrorNumberOf([&] { core->Output("x"); }), kErrReadingDevice);
  core->PortOpen(true);
  EXPECT_EQ(core->InBufferCount(), 0);
  EXPECT_EQ(source->opens, 2);
}

TEST_F(LineCoreTest, ClosedLineChecksSettingsAtTheSourceAndOpenOnePutsThemInForce) {
  EXPECT_EQ(ErrorNumberOf([&] { core->Settings("9600,N,5,1"); }), kErrCannotSetCommState);
  EXPECT_EQ(ErrorNumberOf([&] { core->Settings("9600,N,8"); }), kErrInvalidPropertyValue);
  EXPECT_EQ(core->Settings(), "9600,N,8,1") << "a refused text leaves the old one";
  core->Settings("19200,E,7,1");
  EXPECT_EQ(core->Settings(), "19200,E,7,1") << "the text as given, nothing added";
  core->PortOpen(true);
  EXPECT_EQ(driver.applied, "19200,E,7,1");
  core->Settings("4800,N,8,2");
  EXPECT_EQ(driver.applied, "4800,N,8,2");
}

TEST_F(LineCoreTest, ClosingGivesUnsentBytesABoundedChance) {
  core->PortOpen(true);
  driver.unsent = 10;
  core->PortOpen(false);
  EXPECT_EQ(driver.drainWaits, 1);
  EXPECT_EQ(source->closes, 1);
  core->PortOpen(false);
  EXPECT_EQ(source->closes, 1) << "closing a closed line does nothing";
}

TEST_F(LineCoreTest, EachMemberKeepsToTheLineState) {
  EXPECT_EQ(ErrorNumberOf([&] { core->Input(); }), kErrPortNotOpen);
  EXPECT_EQ(ErrorNumberOf([&] { core->CommPort(0); }), kErrInvalidPortNumber);
  core->PortOpen(true);
  EXPECT_EQ(ErrorNumberOf([&] { core->PortOpen(true); }), kErrPortAlreadyOpen);
  EXPECT_EQ(ErrorNumberOf([&] { core->CommPort(2); }), kErrPortAlreadyOpen);
  EXPECT_EQ(ErrorNumberOf([&] { core->InBufferCount(5); }), kErrInvalidPropertyValue);
  EXPECT_EQ(ErrorNumberOf([&] { core->OutBufferCount(-1); }), kErrInvalidPropertyValue);
}

}  // namespace
}  // namespace kivocom

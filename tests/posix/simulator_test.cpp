// SPDX-License-Identifier: MIT
// The instrument simulator, driven from the library's side of the line with plain POSIX calls on
// its pseudo-terminal slave.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "kivocom/error.h"
#include "kivocom/simulator.h"

namespace kivocom {
namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

// Generous enough for a loaded machine; only a failing test waits this long.
constexpr auto kReplyWait = 2000ms;
// How long a line must stay quiet to count as silent.
constexpr auto kSilence = 120ms;

// The library's end of the line, opened and set raw as the serial control does.
class RawLine {
 public:
  explicit RawLine(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
    if (fd_ < 0) return;
    termios settings{};
    tcgetattr(fd_, &settings);
    cfmakeraw(&settings);
    tcsetattr(fd_, TCSANOW, &settings);
    tcflush(fd_, TCIOFLUSH);
  }
  ~RawLine() {
    if (fd_ >= 0) close(fd_);
  }
  RawLine(const RawLine&) = delete;
  RawLine& operator=(const RawLine&) = delete;

  int Fd() const { return fd_; }

  void Write(const std::string& bytes) { ASSERT_EQ(write(fd_, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
  // A command as the library sends it: a lone CR, the framed command, CR.
  void Send(const std::string& framed) { Write("\r" + framed + "\r"); }

  // Reads until `done` holds for what arrived, or `timeout` passes; each byte's arrival time is kept.
  std::string ReadUntil(const std::function<bool(const std::string&)>& done, std::chrono::milliseconds timeout) {
    const auto deadline = SteadyClock::now() + timeout;
    std::string got;
    while (!done(got)) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
      pollfd p{fd_, POLLIN, 0};
      if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
      char buffer[256];
      const ssize_t n = read(fd_, buffer, sizeof buffer);
      if (n <= 0) break;
      got.append(buffer, static_cast<std::size_t>(n));
      arrivals.resize(got.size(), SteadyClock::now());
    }
    return got;
  }
  // Reads until an LF arrives.
  std::string ReadLine() {
    return ReadUntil([](const std::string& s) { return s.find('\n') != std::string::npos; }, kReplyWait);
  }
  // Reads until `count` bytes arrived.
  std::string ReadBytes(std::size_t count) {
    return ReadUntil([count](const std::string& s) { return s.size() >= count; }, kReplyWait);
  }
  // Everything that arrives within `window`.
  std::string ReadFor(std::chrono::milliseconds window) {
    return ReadUntil([](const std::string&) { return false; }, window);
  }

  std::vector<SteadyClock::time_point> arrivals;  // arrival time of each byte read

 private:
  int fd_;
};

SimulatedInstrument Instrument(EControllerStyle style, std::map<std::string, std::string> replies = {},
                               std::string address = "") {
  SimulatedInstrument instrument;
  instrument.style = style;
  instrument.replies = std::move(replies);
  instrument.address = std::move(address);
  instrument.behaviour.replyDelay = 2ms;
  return instrument;
}

std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out += ' ';
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

double MsBetween(SteadyClock::time_point a, SteadyClock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

// ---- The far end at work, through the slave ----

class SimulatorTest : public ::testing::Test {
 protected:
  InstrumentSimulator sim;
};

TEST_F(SimulatorTest, KivoQueryIsAnsweredFromTheTableOrWithTheDefaultReading) {
  sim.AddInstrument(Instrument(CS_KIVO, {{"ID?", "KIVO T100"}}));
  RawLine line(sim.DevicePath());
  ASSERT_GE(line.Fd(), 0);

  line.Send("ID?");
  EXPECT_EQ(line.ReadLine(), "KIVO T100\r\n");
  line.Send("NEW?");
  EXPECT_EQ(line.ReadLine(), "+0023.45\r\n");
  EXPECT_EQ(sim.Received(), "\rID?\r\rNEW?\r");
}

TEST_F(SimulatorTest, LoneCarriageReturnsAndUnknownCommandsWithoutDefaultGoUnanswered) {
  SimulatedInstrument quiet = Instrument(CS_XSYS);
  quiet.defaultReply.reset();
  sim.AddInstrument(quiet);
  RawLine line(sim.DevicePath());

  line.Write("\r\r\r");
  line.Send("UNKNOWN");
  EXPECT_EQ(line.ReadFor(kSilence), "");
  EXPECT_TRUE(sim.WaitForReceived(std::string("UNKNOWN\r"), kReplyWait));
}

TEST_F(SimulatorTest, AzonixReplyEndsWithCarriageReturnAlone) {
  sim.AddInstrument(Instrument(CS_AZONIX, {{"R", "12.5"}}));
  RawLine line(sim.DevicePath());

  line.Send("R");
  std::string reply = line.ReadBytes(1);
  reply += line.ReadFor(kSilence);
  EXPECT_EQ(reply, "12.5\r");
}

TEST_F(SimulatorTest, RepliesKeepInnerLineEndsAndBytesAbove127) {
  sim.AddInstrument(Instrument(CS_KIVO, {{"TWO", "A\r\nB"}, {"HIGH", "\x80\xC8 1"}}));
  RawLine line(sim.DevicePath());

  line.Send("TWO");
  EXPECT_EQ(line.ReadBytes(6), "A\r\nB\r\n");
  line.Send("HIGH");
  EXPECT_EQ(line.ReadLine(), "\x80\xC8 1\r\n");
}

// The two worked examples of the poll and set frames, address "01": decoded, answered, and the
// stored value returned by a later poll.
TEST_F(SimulatorTest, OmegaPollAndSetFramesAreDecodedAndAnswered) {
  const auto id = sim.AddInstrument(Instrument(CS_OMEGA, {{"PV", "+0021.50"}}, "01"));
  RawLine line(sim.DevicePath());

  const std::string poll = "\x04" "0011PV\x05";
  line.Send(poll);
  EXPECT_EQ(line.ReadLine(), "+0021.50\r\n");

  const std::string set = "\x04" "0011\x02SL100.0\x03\x33";
  line.Send(set);
  EXPECT_EQ(line.ReadLine(), "\x06\r\n");
  EXPECT_EQ(sim.Instrument(id).replies.at("SL"), "100.0");

  line.Send("\x04" "0011SL\x05");
  EXPECT_EQ(line.ReadLine(), "100.0\r\n");
  EXPECT_EQ(Hex(sim.Received().substr(0, 22)),
            "0D 04 30 30 31 31 50 56 05 0D 0D 04 30 30 31 31 02 53 4C 31 30 30");
}

TEST_F(SimulatorTest, OmegaRejectsBadCheckAndIgnoresOtherAddresses) {
  const auto id = sim.AddInstrument(Instrument(CS_OMEGA, {{"SL", "50.0"}}, "01"));
  RawLine line(sim.DevicePath());

  line.Send("\x04" "0011\x02SL100.0\x03\x34");
  EXPECT_EQ(line.ReadLine(), "\x15\r\n");
  EXPECT_EQ(sim.Instrument(id).replies.at("SL"), "50.0");

  line.Send("\x04" "0022PV\x05");
  line.Send("PV");
  EXPECT_EQ(line.ReadFor(kSilence), "");

  line.Send("\x04" "0011SL\x05");
  EXPECT_EQ(line.ReadLine(), "50.0\r\n");
}

TEST_F(SimulatorTest, OmegaSetWithoutAcknowledgementStoresSilently) {
  SimulatedInstrument instrument = Instrument(CS_OMEGA, {}, "01");
  instrument.setAcknowledgement.reset();
  const auto id = sim.AddInstrument(instrument);
  RawLine line(sim.DevicePath());

  line.Send("\x04" "0011\x02SL100.0\x03\x33");
  EXPECT_EQ(line.ReadFor(kSilence), "");
  EXPECT_EQ(sim.Instrument(id).replies.at("SL"), "100.0");
}

// A block check that is itself CR belongs to the frame: "SP49" ETX has the check 0x0D.
TEST_F(SimulatorTest, OmegaBlockCheckEqualToCarriageReturnIsTakenAsTheCheck) {
  const auto id = sim.AddInstrument(Instrument(CS_OMEGA, {}, "01"));
  RawLine line(sim.DevicePath());

  line.Send("\x04" "0011\x02" "SP49\x03\x0D");
  EXPECT_EQ(line.ReadLine(), "\x06\r\n");
  EXPECT_EQ(sim.Instrument(id).replies.at("SP"), "49");
}

struct SwitchCase {
  const char* name;
  ESmartSwitchStyle model;
  std::string first, second;        // two switch port names
  std::string selectFirst, selectSecond;  // their select commands on the line
  std::string release;              // the release command; empty when the model has none
};

// Shows a row by its name in test listings.
void PrintTo(const SwitchCase& row, std::ostream* os) { *os << row.name; }

class SwitchRoutingTest : public SimulatorTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(SwitchRoutingTest, TrafficReachesOnlyTheSelectedInstrument) {
  const SwitchCase& c = GetParam();
  sim.UseSmartSwitch(c.model);
  sim.AddInstrument(Instrument(CS_KIVO, {{"ID?", "first"}}), c.first);
  sim.AddInstrument(Instrument(CS_KIVO, {{"ID?", "second"}}), c.second);
  RawLine line(sim.DevicePath());

  line.Send("ID?");
  EXPECT_EQ(line.ReadFor(kSilence), "") << "nothing is connected before a select";

  line.Write(c.selectFirst);
  line.Send("ID?");
  EXPECT_EQ(line.ReadLine(), "first\r\n");
  EXPECT_EQ(sim.ConnectedSwitchPort(), c.first);

  line.Write(c.selectSecond);
  line.Send("ID?");
  EXPECT_EQ(line.ReadLine(), "second\r\n");

  if (c.release.empty()) return;
  line.Write(c.release);
  line.Send("ID?");
  EXPECT_EQ(line.ReadFor(kSilence), "");
  EXPECT_EQ(sim.ConnectedSwitchPort(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Models, SwitchRoutingTest,
    ::testing::Values(
        SwitchCase{"BB4PORT", SSS_BB4PORT, "A", "D", "\x1b\x02" "A\r", "\x1b\x02" "D\r", "\x1b\x02\x04"},
        SwitchCase{"BB8PORT_OneCharacter", SSS_BB8PORT, "A", "3", "\x1b\x02" "0A\r", "\x1b\x02" "03\r",
                   "\x1b\x02\x02\x04"},
        SwitchCase{"BB8PORT_TwoCharacters", SSS_BB8PORT, "12", "H", "\x1b\x02" "12\r", "\x1b\x02" "0H\r",
                   "\x1b\x02\x02\x04"},
        SwitchCase{"BT528AP", SSS_BT528AP, "1", "8", "\x14" "001\r", "\x14" "008\r", ""}),
    [](const ::testing::TestParamInfo<SwitchCase>& info) { return std::string(info.param.name); });

// At 1200 baud a character takes 8.3 ms: a 10-byte paced answer spans at least 9 character times.
TEST_F(SimulatorTest, PacedRepliesTakeTenBitTimesACharacter) {
  sim.SetBaudRate(1200);
  SimulatedInstrument instrument = Instrument(CS_KIVO);
  instrument.behaviour.replyDelay = std::chrono::microseconds(-1);
  sim.AddInstrument(instrument);
  RawLine line(sim.DevicePath());

  const auto sent = SteadyClock::now();
  line.Send("R");
  ASSERT_EQ(line.ReadLine(), "+0023.45\r\n");
  EXPECT_GE(MsBetween(sent, line.arrivals.front()), 10.0) << "default reply delay";
  // Measured from the command so a client that reads late cannot shorten the span.
  EXPECT_GE(MsBetween(sent, line.arrivals.back()), 10.0 + 9 * 8.0) << "ten characters of 8.3 ms each";
}

TEST_F(SimulatorTest, RepliesInPiecesArriveWithTheGapBetweenPieces) {
  SimulatedInstrument instrument = Instrument(CS_KIVO, {{"R", "ABCDEFGH"}});
  instrument.behaviour.paced = false;
  instrument.behaviour.pieceSize = 4;
  instrument.behaviour.pieceGap = 60ms;
  sim.AddInstrument(instrument);
  RawLine line(sim.DevicePath());

  const auto sent = SteadyClock::now();
  line.Send("R");
  ASSERT_EQ(line.ReadLine(), "ABCDEFGH\r\n");
  // Measured from the command: a client that reads late can only make the pieces seem later.
  EXPECT_GE(MsBetween(sent, line.arrivals[4]), 60.0) << "the second piece waits one gap";
  EXPECT_GE(MsBetween(sent, line.arrivals[8]), 120.0) << "the third piece waits two gaps";
}

TEST_F(SimulatorTest, SilentInstrumentAnswersNothingButStillHearsTheCommand) {
  const auto id = sim.AddInstrument(Instrument(CS_KIVO));
  RawLine line(sim.DevicePath());
  sim.ChangeInstrument(id, [](SimulatedInstrument& i) { i.behaviour.silent = true; });

  line.Send("R");
  EXPECT_EQ(line.ReadFor(kSilence), "");
  EXPECT_EQ(sim.Received(), "\rR\r");

  sim.ChangeInstrument(id, [](SimulatedInstrument& i) { i.behaviour.silent = false; });
  line.Send("R");
  EXPECT_EQ(line.ReadLine(), "+0023.45\r\n");
}

struct DownloadCase {
  const char* name;
  bool binary;
  int32_t perPiece;
};

// Shows a row by its name in test listings.
void PrintTo(const DownloadCase& row, std::ostream* os) { *os << row.name; }

class DownloadStreamTest : public SimulatorTest, public ::testing::WithParamInterface<DownloadCase> {};

TEST_P(DownloadStreamTest, StoredReadingsStreamOnTheDownloadCommand) {
  SimulatedInstrument instrument = Instrument(CS_KIVO);
  instrument.behaviour.paced = false;
  instrument.download = {"DUMP", 5, GetParam().binary, GetParam().perPiece, 40ms};
  sim.AddInstrument(instrument);
  RawLine line(sim.DevicePath());
  const std::string expected = StoredReadingsStream(instrument.download);

  line.Send("DUMP");
  EXPECT_EQ(Hex(line.ReadBytes(expected.size())), Hex(expected));
  EXPECT_EQ(line.ReadFor(kSilence), "");
  if (GetParam().perPiece == 2) {
    const std::size_t firstPieceEnd = (GetParam().binary ? 4 : 0) + 2 * 10;  // header, two readings
    EXPECT_GE(MsBetween(line.arrivals[firstPieceEnd - 1], line.arrivals[firstPieceEnd]), 30.0);
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, DownloadStreamTest,
                         ::testing::Values(DownloadCase{"TextWhole", false, 0}, DownloadCase{"TextPieces", false, 2},
                                           DownloadCase{"BinaryWhole", true, 0}, DownloadCase{"BinaryPieces", true, 2}),
                         [](const ::testing::TestParamInfo<DownloadCase>& info) { return std::string(info.param.name); });

// ---- The line going away ----

TEST_F(SimulatorTest, ClientClosingBetweenExchangesLosesNothing) {
  sim.AddInstrument(Instrument(CS_KIVO));
  for (int exchange = 0; exchange < 3; ++exchange) {
    RawLine line(sim.DevicePath());
    line.Send("R");
    EXPECT_EQ(line.ReadLine(), "+0023.45\r\n") << "exchange " << exchange;
  }
  {
    RawLine line(sim.DevicePath());
    line.Write("\x1b\x02\x04");  // written and closed at once, as ClosePort's release is
  }
  EXPECT_TRUE(sim.WaitForReceived(std::string("\x1b\x02\x04"), kReplyWait));
  EXPECT_FALSE(sim.Unplugged());
}

TEST_F(SimulatorTest, FarEndClosingMidReplyGivesTheClientHangUp) {
  SimulatedInstrument instrument = Instrument(CS_KIVO);
  instrument.behaviour.unplugAfter = 3;
  sim.AddInstrument(instrument);
  RawLine line(sim.DevicePath());

  line.Send("R");
  // The hang-up flushes what the client has not read yet, as pulling a real cable does, so the
  // client sees at most the three bytes sent before it and never anything after.
  const std::string got = line.ReadBytes(4);
  EXPECT_LE(got.size(), 3u);
  EXPECT_EQ(got, std::string("+00").substr(0, got.size()));
  pollfd p{line.Fd(), POLLIN, 0};
  ASSERT_EQ(poll(&p, 1, static_cast<int>(kReplyWait.count())), 1);
  EXPECT_TRUE(p.revents & POLLHUP);
  errno = 0;
  EXPECT_EQ(write(line.Fd(), "\r", 1), -1);
  EXPECT_EQ(errno, EIO);
  EXPECT_TRUE(sim.Unplugged());
  EXPECT_LT(open(sim.DevicePath().c_str(), O_RDWR | O_NOCTTY), 0) << "the device is gone";
}

TEST_F(SimulatorTest, UnplugHangsUpAnOpenLineAndStopsAnswers) {
  SimulatedInstrument instrument = Instrument(CS_KIVO);
  instrument.download = {"DUMP", 200, false, 1, 20ms};
  sim.AddInstrument(instrument);
  RawLine line(sim.DevicePath());
  line.Send("DUMP");
  line.ReadBytes(1);

  sim.Unplug();
  EXPECT_TRUE(sim.Unplugged());
  pollfd p{line.Fd(), POLLIN, 0};
  ASSERT_EQ(poll(&p, 1, 0), 1);
  EXPECT_TRUE(p.revents & POLLHUP);
  sim.Unplug();  // a second pull changes nothing
}

// ---- The record and configuration ----

TEST_F(SimulatorTest, WaitForReceivedTimesOutAndClearingEmptiesTheRecord) {
  EXPECT_FALSE(sim.WaitForReceived(1, 20ms));
  RawLine line(sim.DevicePath());
  line.Write("AB");
  EXPECT_TRUE(sim.WaitForReceived(2, kReplyWait));
  sim.ClearReceived();
  EXPECT_EQ(sim.Received(), "");
  EXPECT_FALSE(sim.WaitForReceived(std::string("AB"), 20ms));
}

TEST_F(SimulatorTest, BadConfigurationIsRefusedWithAClearError) {
  EXPECT_THROW(
      {
        try {
          sim.SetBaudRate(0);
        } catch (const Error& e) {
          EXPECT_EQ(e.Number(), kErrInvalidPropertyValue);
          throw;
        }
      },
      Error);
  EXPECT_EQ(sim.BaudRate(), 9600);
  EXPECT_THROW(sim.Instrument(7), Error);
  EXPECT_THROW(sim.ChangeInstrument(7, [](SimulatedInstrument&) {}), Error);
}

}  // namespace
}  // namespace kivocom

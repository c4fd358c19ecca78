// SPDX-License-Identifier: MIT
// The tool against far ends that misbehave: a flood, a slow or silent instrument, a server that
// refuses the connection, never negotiates or speaks Telnet to a tcp:// port. Each is a clear
// error at once, standard output carries only whole replies, and a download's file is replaced
// only by data.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <thread>

#include "kivocom/kivocom.h"
#include "support/posix/ser2net_server.h"
#include "support/tool_fixture.h"

namespace kivocom {
namespace {

// A server on 127.0.0.1 that runs `serve` on each connection it accepts, until it is destroyed.
class LoopbackServer {
 public:
  explicit LoopbackServer(std::function<void(int, const std::atomic<bool>&)> serve) : serve_(std::move(serve)) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(listener_, reinterpret_cast<sockaddr*>(&address), size);
    listen(listener_, 4);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Accept(); });
  }
  ~LoopbackServer() {
    stop_ = true;
    thread_.join();
    close(listener_);
  }
  std::string Address(const std::string& scheme) const { return scheme + "://127.0.0.1:" + std::to_string(port_); }

 private:
  void Accept() {
    while (!stop_) {
      pollfd ready{listener_, POLLIN, 0};
      if (poll(&ready, 1, 20) != 1) continue;
      const int client = accept(listener_, nullptr, nullptr);
      if (client < 0) continue;
      serve_(client, stop_);
      close(client);
    }
  }
  std::function<void(int, const std::atomic<bool>&)> serve_;
  std::atomic<bool> stop_{false};
  int listener_ = -1;
  int port_ = 0;
  std::thread thread_;
};

// Sends 0xFF without pause until the client goes.
void FloodOf0xFF(int client, const std::atomic<bool>& stop) {
  const std::string bytes(64 * 1024, '\xff');
  while (!stop && send(client, bytes.data(), bytes.size(), MSG_NOSIGNAL) > 0) {
  }
}

// Takes the connection and says nothing, as a program that is no Telnet server.
void Silence(int client, const std::atomic<bool>& stop) {
  char sink[256];
  while (!stop) {
    pollfd ready{client, POLLIN, 0};
    if (poll(&ready, 1, 20) == 1 && recv(client, sink, sizeof sink, 0) <= 0) return;
  }
}

// A port number nothing listens on.
std::string RefusingAddress() {
  const int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  bind(probe, reinterpret_cast<sockaddr*>(&address), size);
  getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
  close(probe);
  return "tcp://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class ToolFarEndTest : public ToolTest {
 protected:
  // Time-outs and retries that would cost 15 s and more if they were waited out.
  std::vector<std::string> Slowly(const std::string& command, const std::string& device, std::vector<std::string> more = {},
                                  const std::string& baud = "9600") {
    std::vector<std::string> args{command, command == "download" ? "DL" : "PV", "--device", device, "--baud", baud,
                                  "--timeout", "3000", "--retries", "5"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
  }
  static constexpr int kAtOnceMs = 8000;  // the tool is killed (exit -1) past this
};

TEST_F(ToolFarEndTest, AFloodIsAnErrorAtTheRepliesBoundAndNothingReachesStandardOutput) {
  LoopbackServer flood(FloodOf0xFF);
  const ToolResult r = RunTool(kTool, Slowly("query", flood.Address("tcp"), {"--no-ascii-check"}), kAtOnceMs);
  EXPECT_EQ(r.exitCode, 2) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(Has(r.err, "sent more than 65536 bytes without ending its reply")) << r.err;
  EXPECT_TRUE(Has(r.err, "partial reply of 65536 bytes came (not printed): <xFF><xFF>")) << r.err;
  EXPECT_LT(r.err.size(), 400u) << "the error line shows only the start of the flood";
}

TEST_F(ToolFarEndTest, ATimedOutReplyIsSaidToBePartialAndNotPrinted) {
  SimulatedInstrument instrument;
  instrument.behaviour.pieceSize = 4;
  instrument.behaviour.pieceGap = std::chrono::milliseconds(1000);
  sim.AddInstrument(instrument);
  const ToolResult r = Run({"query", "PV", "--device", sim.DevicePath(), "--baud", "115200", "--timeout", "200", "--retries", "1"});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(Has(r.err, "a partial reply of 4 bytes came (not printed): +002")) << r.err;
}

TEST_F(ToolFarEndTest, ADownloadThatBroughtNothingLeavesTheFileAsItWas) {
  const std::string previous = scratch.Path("prev.txt");
  WriteFileBytes(previous, "old\n");
  ToolResult r = RunTool(kTool, Slowly("download", RefusingAddress(), {"-o", previous}), kAtOnceMs);
  EXPECT_EQ(r.exitCode, 4) << r.err;
  EXPECT_TRUE(Has(r.err, "Connection refused")) << r.err;
  EXPECT_TRUE(Has(r.err, "nothing was written and " + previous + " is as it was")) << r.err;
  EXPECT_FALSE(Has(r.err, "Wrote")) << r.err;
  EXPECT_EQ(ReadFileBytes(previous), "old\n");

  SimulatedInstrument silent;
  silent.behaviour.silent = true;
  sim.AddInstrument(silent);
  std::vector<std::string> download = Line("download", {"-o", previous});
  download.insert(download.begin() + 1, "DL");
  r = Run(download);
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_FALSE(Has(r.err, "Wrote")) << r.err;
  EXPECT_EQ(ReadFileBytes(previous), "old\n");

  const std::string fresh = scratch.Path("new.txt");
  download = Line("download", {"-o", fresh});
  download.insert(download.begin() + 1, "DL");
  EXPECT_EQ(Run(download).exitCode, 1);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(scratch.Folder()))
    names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"prev.txt"}) << "no empty file left behind, nor one written beside";
}

TEST_F(ToolFarEndTest, ADownloadReplacesTheFileWholeKeepingItsPermissions) {
  SimulatedInstrument instrument;
  instrument.download = StoredReadings{"DL", 20, false, 0, std::chrono::milliseconds(0)};
  sim.AddInstrument(instrument);
  const std::string file = scratch.Path("readings.txt");
  WriteFileBytes(file, std::string(100000, 'x'));
  std::filesystem::permissions(file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  std::vector<std::string> download = Line("download", {"-o", file});
  download.insert(download.begin() + 1, "DL");
  const ToolResult r = Run(download);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadFileBytes(file), StoredReadingsStream(instrument.download));
  EXPECT_EQ(std::filesystem::status(file).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST_F(ToolFarEndTest, ADownloadThatBeganAfterAResendKeepsTheDataAndIsNoSuccess) {
  SimulatedInstrument instrument;
  instrument.download = StoredReadings{"DL", 20, false, 0, std::chrono::milliseconds(0)};
  instrument.behaviour.replyDelay = std::chrono::milliseconds(600);
  sim.AddInstrument(instrument);
  const std::string file = scratch.Path("slow.txt");
  const ToolResult r = Run({"download", "DL", "--device", sim.DevicePath(), "--baud", "115200", "-o", file, "--timeout",
                           "400", "--retries", "3"});
  EXPECT_EQ(r.exitCode, 2) << r.err;
  EXPECT_TRUE(Has(r.err, "began sending only after the command was sent again")) << r.err;
  EXPECT_TRUE(Has(r.err, "--timeout longer")) << r.err;
  const std::string once = StoredReadingsStream(instrument.download);
  EXPECT_EQ(ReadFileBytes(file).substr(0, once.size()), once) << "the data is kept";
}

TEST_F(ToolFarEndTest, NetworkPortsThatCannotBeOpenedArePortErrorsAtOnce) {
  ToolResult r = RunTool(kTool, Slowly("query", RefusingAddress()), kAtOnceMs);
  EXPECT_EQ(r.exitCode, 4) << r.err;
  EXPECT_TRUE(Has(r.err, "cannot be opened: Connection refused")) << r.err;

  LoopbackServer mute(Silence);
  r = RunTool(kTool, Slowly("query", mute.Address("rfc2217")), kAtOnceMs);
  EXPECT_EQ(r.exitCode, 4) << r.err;
  EXPECT_TRUE(Has(r.err, "did not take up serial port control (RFC 2217)")) << r.err;
  EXPECT_FALSE(Has(r.err, "refused the rate")) << r.err;
}

TEST_F(ToolFarEndTest, ATcpPortServedByTelnetSaysToMapItAsRfc2217) {
  Ser2netServer server(sim.DevicePath());
  if (!server.Started()) GTEST_SKIP() << server.Problem();
  sim.AddInstrument(SimulatedInstrument{});
  const std::string telnetPort = server.Rfc2217Address().substr(std::string("rfc2217://").size());
  const ToolResult r = RunTool(kTool, Slowly("query", "tcp://" + telnetPort, {}, "115200"), kAtOnceMs);
  EXPECT_EQ(r.exitCode, 4) << r.err;
  EXPECT_TRUE(Has(r.err, "its server speaks Telnet")) << r.err;
  EXPECT_TRUE(Has(r.err, "Map the port as rfc2217://" + telnetPort)) << r.err;
}

}  // namespace
}  // namespace kivocom

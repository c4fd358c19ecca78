// SPDX-License-Identifier: MIT
// A download on a real line at 921,600 baud: more than a second of traffic arrives whole, also
// while the client does not read for a second.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "support/real_line.h"

namespace kivocom {
namespace {

class RealLineDownloadTest : public RealLineTest {
 protected:
  ~RealLineDownloadTest() override { InstallThreadProgressWindowFactory(nullptr); }
};

TEST_F(RealLineDownloadTest, TwoSecondsOfBinaryRecordsAt921600ArriveInOrder) {
  constexpr int32_t kRecords = 2 * 92160 / 10;  // two seconds of line time
  sim.SetBaudRate(921600);
  SimulatedInstrument instrument;
  instrument.download.command = "DL";
  instrument.download.count = kRecords;
  instrument.download.binary = true;
  sim.AddInstrument(instrument);
  port.BaudRate(BAUD_921600);
  port.TimeOut(500);
  int reports = 0;
  InstallThreadProgressWindowFactory([&reports] {
    struct Counting : ProgressWindow {
      explicit Counting(int& n) : reports(n) {}
      void SetMessage(const std::string&, int32_t, int32_t) override {}
      void SetVisible(bool) override {}
      bool ReportProgress(int32_t, int32_t, int32_t) override { return ++reports, true; }
      void CloseWindow() override {}
      int& reports;
    };
    return std::make_unique<Counting>(reports);
  });
  ECOMError err = CE_TIMEOUT;
  const std::string data = port.Download(true, err, "DL", "", "", kRecords);
  EXPECT_EQ(err, CE_NONE);
  const std::string expected = StoredReadingsStream(instrument.download);
  ASSERT_EQ(data.size(), expected.size());
  EXPECT_TRUE(data == expected) << "every byte, in order";
  EXPECT_GE(reports, 3) << "the stream came in pieces of about a second";
}

// The line's own receive buffer keeps a second of traffic at 921,600 baud while the program is
// busy elsewhere: nothing is lost when it reads only afterwards.
TEST_F(RealLineDownloadTest, ASecondAt921600WaitsWhileTheClientSleeps) {
  constexpr int32_t kRecords = 92160 / 10;  // one second of line time
  sim.SetBaudRate(921600);
  SimulatedInstrument instrument;
  instrument.download = {"DL", kRecords, true, 0, std::chrono::milliseconds(0)};
  sim.AddInstrument(instrument);
  const std::shared_ptr<SerialControl> line = ThreadSerialControl();
  line->CommPort(kPort);
  line->Settings("921600,N,8,1");
  line->PortOpen(true);
  line->Output("\rDL\r");
  std::this_thread::sleep_for(std::chrono::milliseconds(1300));
  std::string data;
  while (line->WaitForInput(300)) data += line->Input();
  line->PortOpen(false);
  const std::string expected = StoredReadingsStream(instrument.download);
  ASSERT_EQ(data.size(), expected.size());
  EXPECT_TRUE(data == expected) << "every byte, in order";
}

}  // namespace
}  // namespace kivocom

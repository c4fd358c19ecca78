// SPDX-License-Identifier: MIT
// An instrument in a process of its own, behind a pseudo-terminal, that answers every "PV" command
// at once with "+0023.45" CR LF, as a real instrument does not share the client's processor. It
// also streams a download on "DL" at the pace of a 921,600-baud line, for the no-loss figure.
#pragma once

#include <sys/types.h>

#include <string>

namespace kivocom::bench {

class AnsweringInstrument {
 public:
  // The reply to "PV", and the length of the download that "DL" sends.
  static constexpr const char* kReply = "+0023.45";
  static constexpr std::size_t kDownloadBytes = 92'160;  // one second at 921,600 baud

  // Makes the pseudo-terminal (raw, 115,200 baud) and starts the instrument process; with `cpu`
  // of 0 or more it runs pinned to that processor. Call before the program starts any thread.
  explicit AnsweringInstrument(int cpu);
  AnsweringInstrument(const AnsweringInstrument&) = delete;
  AnsweringInstrument& operator=(const AnsweringInstrument&) = delete;
  // Stops the instrument process and waits for it.
  ~AnsweringInstrument();

  // The device path the clients open, such as /dev/pts/3.
  const std::string& DevicePath() const { return devicePath_; }
  // The bytes the "DL" download sends, in order.
  static std::string DownloadData();

 private:
  std::string devicePath_;
  pid_t child_ = -1;
  int stopWrite_ = -1;
};

// Pins the calling process (and the threads it starts later) to processor `cpu`; false when the
// system refuses.
bool PinToCpu(int cpu);

}  // namespace kivocom::bench

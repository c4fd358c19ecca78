// SPDX-License-Identifier: MIT
// spy: stands between a program and its serial device on a pseudo-terminal, shows every burst
// either way (decoded with --decode, as JSON lines with --json) and keeps a record for replay.
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>

#include "commands.h"
#include "exit_codes.h"
#include "kivocom/port_devices.h"
#include "port_options.h"
#include "simulated_bench.h"
#include "instruments/session_record.h"
#include "spy_decoder.h"
#include "spy_queue.h"
#include "spy_relay.h"
#include "spy_report.h"

namespace kivotool {
namespace {

using namespace kivocom;

struct SpyOptions {
  std::string device;
  int port = 0;
  int baud = 9600;
  int dataBits = 0;
  std::string parity;
  bool decode = false;
  bool json = false;
  std::string record;
  std::string switchModel;
};

// Keeps the session as a record (see instruments/session_record.h), each entry on disk at once so
// that a lost device or a killed spy leaves everything up to it.
class SessionRecorder {
 public:
  SessionRecorder(const std::string& path, const SpyStamp& start) : path_(path), start_(start) {
    if (path.empty()) return;
    file_.open(path, std::ios::binary | std::ios::trunc);
    if (!file_) throw ToolFailure(kExitOutputError, "cannot write the record " + path);
    file_ << kRecordHeading << "\n" << std::flush;
  }
  void Remark(const std::string& text) { Write("# " + text); }
  void Add(RecordEntry::Kind kind, const std::string& data, const SpyStamp& stamp) {
    Write(RecordLine({kind, std::chrono::duration_cast<std::chrono::microseconds>(stamp.at - start_.at), data}));
  }

 private:
  void Write(const std::string& line) {
    if (!file_.is_open()) return;
    file_ << line << "\n" << std::flush;
    if (!file_) throw ToolFailure(kExitOutputError, "could not write the record " + path_ + "; the spy stopped");
  }
  std::string path_;
  SpyStamp start_;
  std::ofstream file_;
};

class SpyPrinter : public SpyObserver {
 public:
  SpyPrinter(const SpyOptions& o, const std::string& device)
      : options_(o),
        device_(device),
        start_{std::chrono::steady_clock::now(), std::chrono::system_clock::now()},
        report_(start_, o.json),
        decoder_(SwitchModel(o.switchModel), o.switchModel == "none"),
        recorder_(o.record, start_) {}

  void Ready(const std::string& programDevice, const std::string& unfollowed) override {
    (options_.json ? std::cerr : std::cout) << Instructions(programDevice, unfollowed);
    std::cout << report_.Ready(programDevice, device_) << std::flush;
    recorder_.Remark("spy on " + device_ + " through " + programDevice);
  }
  void Settings(const std::string& settings, const std::string& problem, const SpyStamp& stamp) override {
    std::cout << report_.Settings(settings, problem, stamp) << std::flush;
    recorder_.Add(RecordEntry::Kind::Settings, settings, stamp);
  }
  void Traffic(bool fromProgram, const std::string& bytes, const SpyStamp& stamp) override {
    recorder_.Add(fromProgram ? RecordEntry::Kind::FromProgram : RecordEntry::Kind::FromInstrument, bytes, stamp);
    std::vector<SpyFrame> frames;
    if (fromProgram) frames = decoder_.FromProgram(bytes, stamp.at);
    else frames = decoder_.FromDevice(bytes, stamp.at);
    if (!options_.decode) frames.clear();
    std::cout << report_.Traffic(fromProgram, bytes, frames, stamp) << std::flush;
  }
  void DeviceLost(const std::string& why, const SpyStamp& stamp) override {
    recorder_.Add(RecordEntry::Kind::LineLost, "the device went away: " + why, stamp);
    std::cout << report_.DeviceLost(device_, why, stamp) << std::flush;
  }

 private:
  static std::optional<ESmartSwitchStyle> SwitchModel(const std::string& name) {
    if (name.empty() || name == "none") return std::nullopt;
    return SwitchModelByName(name);
  }

  std::string Instructions(const std::string& programDevice, const std::string& unfollowed) const {
    const int n = options_.port > 0 ? options_.port : 9;
    return "Spying on " + device_ + "; the program opens " + programDevice + " in its place:\n" +
           "  export KIVOCOM_COM" + std::to_string(n) + "=" + programDevice + "    (kivocom and programs built on it)\n" +
           "  ln -sfn " + programDevice + " \"${WINEPREFIX:-$HOME/.wine}/dosdevices/com" + std::to_string(n) +
           "\"    (Windows programs under Wine)\n" +
           "The device follows the program's line settings; not " + unfollowed +
           ".\n" + (options_.record.empty() ? "" : "Recording to " + options_.record + ".\n") +
           "Ctrl-C stops the spy.\n";
  }

  const SpyOptions& options_;
  std::string device_;
  SpyStamp start_;
  SpyReport report_;
  SpyDecoder decoder_;
  SessionRecorder recorder_;
};

void RunSpy(const SpyOptions& o) {
  if (o.device.empty() == (o.port == 0))
    throw ToolFailure(kExitUsage, "name the device to spy on: a DEVICE path or --port N (one of them)");
  const std::string device = o.device.empty() ? PortDevicePath(o.port) : o.device;
  SpyPrinter printer(o, device);
  SpyLine line{o.baud, std::nullopt, std::nullopt};
  if (o.dataBits) line.dataBits = o.dataBits;
  if (!o.parity.empty()) line.parity = o.parity.front();
  bool interrupted = false;
  {
    SpyQueue queue(printer);
    interrupted = RunSpyRelay(device, line, queue);
    queue.Finish();
  }
  if (interrupted) {
    std::cerr << "Stopped the spy.\n";
    return;
  }
  throw ToolFailure(kExitPortError, device + " went away; the program's end was hung up" +
                                        (o.record.empty() ? "" : ", and the record " + o.record + " is kept"));
}

}  // namespace

void AddSpyCommand(CLI::App& app) {
  auto o = std::make_shared<SpyOptions>();
  CLI::App* spy = app.add_subcommand(
      "spy", "stand between a program and its serial device on a pseudo-terminal and show the traffic until Ctrl-C");
  spy->add_option("device", o->device, "the device the program talks to, such as /dev/ttyUSB0");
  spy->add_option("--port", o->port, "the device of COM port N instead (and the program keeps using COM N)")
      ->check(CLI::Range(1, 256));
  spy->add_option("--baud,-b", o->baud, "the device's speed until the program chooses one (default 9600)")
      ->check(CLI::PositiveNumber);
  spy->add_option("--data-bits", o->dataBits, "the device's data bits, whatever the program sets (default: the "
                                             "program's, where the system shows them)")
      ->check(CLI::Range(5, 8));
  spy->add_option("--parity", o->parity, "the device's parity, whatever the program sets (N, E, O, M, S)")
      ->check(CLI::IsMember({"N", "E", "O", "M", "S"}));
  spy->add_flag("--decode,-d", o->decode, "name the frames: commands, omega frames and block checks, switch "
                                          "selections, replies, ACK/NAK, and each reply's delay");
  spy->add_flag("--json", o->json, "one JSON object a line, for tools (the instructions go to standard error)");
  spy->add_option("--record,-r", o->record, "keep the session in FILE, for `kivocom simulate --replay FILE`");
  spy->add_option("--switch", o->switchModel, "decode this smart switch's sequences (default: found from the "
                                              "traffic; none: no switch)")
      ->check(CLI::IsMember({"bb4", "bb8", "bt528", "none"}));
  spy->callback([o] { RunSpy(*o); });
}

}  // namespace kivotool

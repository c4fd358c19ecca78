// SPDX-License-Identifier: MIT
// demo: the library at work on a simulated instrument started in this process: a query in each
// controller style, an omega set frame, a query through a smart switch to two instruments, a
// download with its progress bar, settings saved and read back, and the trace of the traffic.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <thread>

#include "commands.h"
#include "demo_instruments.h"
#include "exit_codes.h"
#include "kivocom/comport.h"
#include "kivocom/ini_file.h"
#include "kivocom/smart_switch.h"
#include "port_options.h"
#include "simulated_bench.h"
#include "tool_system.h"
#include "visible_text.h"

namespace kivotool {
namespace {

using namespace kivocom;
namespace fs = std::filesystem;

constexpr int kDemoPort = 99;
constexpr int kDemoReadings = 20;

class Demo {
 public:
  Demo() : folder_(MakeTemporaryFolder("kivocom-demo-")), instruments_(kDemoPort, kDemoReadings) {
    SetEnvironmentValue("KIVOCOM_TRACE_DIR", folder_.string());
    port_.port(kDemoPort);
    port_.MaxBaudRate(BAUD_921600);
    port_.BaudRate(BAUD_115200);
    port_.TimeOut(300);
    port_.Retries(2);
    port_.Debugging(true);
  }
  ~Demo() {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  bool Run() {
    std::cout << "kivocom demo: the library at work on a simulated instrument\n\n"
              << "Simulated instrument " << instruments_.Where() << ", mapped to COM" << kDemoPort << " at 115200 baud.\n";
    const bool ok = QueryEachStyle() & SetFrame() & ThroughTheSwitch() & Download() & SettingsRoundTrip();
    ShowTrace();
    std::cout << "\n" << (ok ? "Every step gave the expected answer." : "A step did not give the expected answer.")
              << "\n";
    return ok;
  }

 private:
  static bool Check(bool ok, const std::string& line) {
    std::cout << "   " << line << (ok ? "   ok" : "   FAILED") << "\n";
    return ok;
  }

  std::string Query(const std::string& cmd, const std::string& ssport = "", const std::string& address = "") {
    ECOMError err = CE_NONE;
    std::string reply = port_.ReadPort(err, cmd, ssport, address);
    return err == CE_NONE ? reply : "(" + ResultName(err) + ") " + reply;
  }

  bool QueryEachStyle() {
    std::cout << "\n1. A query in each controller style\n";
    bool ok = true;
    for (const auto& [name, style] : {std::pair{"kivo", CS_KIVO}, std::pair{"omega", CS_OMEGA},
                                      std::pair{"azonix", CS_AZONIX}, std::pair{"xsys", CS_XSYS}}) {
      instruments_.UseStyle(style);
      port_.ControllerStyle(style);
      instruments_.ClearHeard();
      const std::string reply = Query("PV", "", "01");
      std::string note = "on the wire: " + Visible(instruments_.Heard());
      if (style == CS_AZONIX) note += "; the reply ends in CR alone, so it completes at the 300 ms time-out";
      std::string label = name;
      label.resize(8, ' ');
      ok &= Check(reply == DemoReading(0), label + "PV -> " + reply + "   (" + note + ")");
    }
    return ok;
  }

  bool SetFrame() {
    std::cout << "\n2. An omega set frame, with its block check\n";
    instruments_.UseStyle(CS_OMEGA);
    port_.ControllerStyle(CS_OMEGA);
    instruments_.ClearHeard();
    ECOMError err = CE_NONE;
    port_.WritePort(err, "SP", "", "01", "100.0");
    instruments_.WaitForHeard("\x03", std::chrono::milliseconds(500));
    // The instrument acknowledges the set; WritePort does not read answers, so let the
    // acknowledgement arrive and be cleared by the next exchange rather than taken as its reply.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    bool ok = Check(err == CE_NONE, "send SP = 100.0   (on the wire: " + Visible(instruments_.Heard()) + ")");
    const std::string reply = Query("SP", "", "01");
    ok &= Check(reply == "100.0", "query SP -> " + reply + "   (the instrument kept the value)");
    port_.ControllerStyle(CS_KIVO);
    instruments_.UseStyle(CS_KIVO);
    return ok;
  }

  bool ThroughTheSwitch() {
    std::cout << "\n3. A query routed through a bb4 smart switch to two instruments\n";
    instruments_.UseSwitch(SSS_BB4PORT);
    SetSwitchModel(port_, SSS_BB4PORT);
    port_.UsesSmartSwitch(true);
    bool ok = true;
    for (int n : {1, 2}) {
      const std::string name = SwitchPortName(SSS_BB4PORT, n);
      instruments_.ClearHeard();
      const std::string reply = Query("PV", name);
      ok &= Check(reply == DemoReading(n), "switch port " + name + ": PV -> " + reply + "   (on the wire: " +
                                               Visible(instruments_.Heard()) + ")");
    }
    port_.UsesSmartSwitch(false);
    instruments_.RemoveSwitch();
    return ok;
  }

  bool Download() {
    std::cout << "\n4. A download of " << kDemoReadings << " stored readings, with its progress bar\n" << std::flush;
    port_.TimeOut(1000);
    ECOMError err = CE_NONE;
    const std::string data = port_.Download(false, err, "DL", "", "", kDemoReadings);
    port_.TimeOut(300);
    const bool ok = err == CE_NONE && data == instruments_.StoredStream();
    return Check(ok, std::to_string(data.size()) + " bytes, " + ResultName(err) + ", first reading " +
                         Visible(data.substr(0, data.find('\n') + 1)));
  }

  bool SettingsRoundTrip() {
    std::cout << "\n5. Settings saved to an INI file and read back\n";
    const std::string file = (folder_ / "instrument.ini").string();
    std::ofstream(file) << "; the client's own settings stay as they are\n[Client]\nOperator=Ada\n";
    port_.UsesSmartSwitch(true);
    std::shared_ptr<IniFile> ini;
    port_.WriteToFile(ini, file, "COMPort");
    CCOMPort loaded;
    loaded.MaxBaudRate(BAUD_921600);
    const bool read = loaded.ReadFromFile(ini, file, "COMPort");
    const bool same = loaded.port() == port_.port() && loaded.BaudRate() == port_.BaudRate() &&
                      loaded.ControllerStyle() == port_.ControllerStyle() &&
                      loaded.UsesSmartSwitch() == port_.UsesSmartSwitch() && loaded.TimeOut() == port_.TimeOut() &&
                      loaded.Retries() == port_.Retries();
    port_.UsesSmartSwitch(false);
    std::ifstream in(file);
    const std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::cout << Indent(content, "   | ");
    return Check(read && same && content.find("Operator=Ada") != std::string::npos,
                 "read back into a new port: every stored property matches, the client's section kept");
  }

  void ShowTrace() {
    const fs::path trace = folder_ / "dbgkcom.txt";
    std::cout << "\n6. The trace of the traffic (" << trace.string() << ", shown with control characters named)\n";
    std::ifstream in(trace, std::ios::binary);
    const std::string traffic{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::cout << Indent(VisibleLines(traffic), "   ");
  }

  fs::path folder_;
  DemoInstruments instruments_;
  CCOMPort port_;
};

void RunDemo() {
  Demo demo;
  if (!demo.Run()) throw ToolFailure(kExitDemoFailed, "the demonstration did not give every expected answer");
}

}  // namespace

void AddDemoCommand(CLI::App& app) {
  app.add_subcommand("demo", "show the library at work on a built-in simulated instrument")->callback(RunDemo);
}

}  // namespace kivotool

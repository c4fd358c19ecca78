// SPDX-License-Identifier: MIT
// settings save / settings show: a port's settings in a section of an INI file.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iomanip>
#include <iostream>
#include <memory>

#include "commands.h"
#include "exit_codes.h"
#include "kivocom/comport.h"
#include "kivocom/error.h"
#include "kivocom/ini_file.h"
#include "kivocom/kivo_ini_file.h"
#include "kivocom/port_devices.h"
#include "kivocom/smart_switch.h"
#include "port_options.h"
#include "tool_messages.h"

namespace kivotool {
namespace {

using namespace kivocom;

struct SettingsOptions {
  std::string file;
  std::string section = "COMPort";
  bool recordDevice = false;  // keep the --device mapping in the ports folder
};

const char* StyleName(EControllerStyle style) {
  switch (style) {
    case CS_KIVO: return "kivo";
    case CS_OMEGA: return "omega";
    case CS_AZONIX: return "azonix";
    case CS_XSYS: return "xsys";
  }
  return "unknown";
}

const char* SwitchName(ESmartSwitchStyle model) {
  switch (model) {
    case SSS_BB4PORT: return "bb4";
    case SSS_BB8PORT: return "bb8";
    case SSS_BT528AP: return "bt528";
  }
  return "unknown";
}

// The file stores only a port number, and a --device mapping lasts only for this run. Asked to,
// the mapping is kept in the ports folder, so that the number names the same device when the
// file is loaded later; a number that already names another device there is refused.
void KeepDeviceMapping(int32_t number, const std::string& device) {
  MapPortToDevice(number, "");
  const std::string lasting = PortDevicePath(number);
  MapPortToDevice(number, device);
  if (lasting == device) return;
  const std::filesystem::path entry = std::filesystem::path(PortsFolder()) / ("com" + std::to_string(number));
  std::error_code error;
  if (std::filesystem::exists(std::filesystem::symlink_status(entry, error)) ||
      std::getenv(("KIVOCOM_COM" + std::to_string(number)).c_str()))
    throw ToolFailure(kExitUsage, ComName(number) + " already names " + lasting + "; give --port with a number of " +
                                      "its own for " + device);
  std::filesystem::create_directories(entry.parent_path(), error);
  std::ofstream file(entry);
  file << device << "\n";
  file.close();
  if (!file) throw ToolFailure(kExitSettingsError, "could not record " + ComName(number) + " as " + device + " in " + entry.string());
  std::cerr << ComName(number) << " now names " << device << " (recorded in " << entry.string() << ").\n";
}

// Without a record, the saved number names the device only while something else maps it:
// pseudo-terminals and adapters get other names on another day, so nothing is kept unasked.
void SayMappingNotKept(int32_t number, const std::string& device) {
  std::cerr << "The file records " << ComName(number) << ", which named " << device
            << " for this run only; --record-device records it in " << PortsFolder() << ".\n";
}

// A save replaces the file through a new one beside it: a folder that takes no new file fails it
// even when the file itself is writable. True when a file can be made in `file`'s folder.
bool FolderTakesNewFiles(const std::string& file) {
  const std::filesystem::path folder = std::filesystem::absolute(file).parent_path();
  const std::filesystem::path probe = folder / ".kivocom-save-probe";
  const bool made = static_cast<bool>(std::ofstream(probe));
  std::error_code error;
  std::filesystem::remove(probe, error);
  return made;
}

std::string SaveFailure(const std::string& file, const std::string& reason) {
  std::string text = "could not save the settings to " + file + ": " + Clause(reason);
  if (std::filesystem::exists(file) && !FolderTakesNewFiles(file))
    text += " (a save writes a new file beside " + file + " and renames it into place, so its folder " +
            std::filesystem::absolute(file).parent_path().string() + " must be writable too)";
  return text;
}

void RunSave(const PortOptions& options, const SettingsOptions& s) {
  auto port = MakePort(options);
  if (s.recordDevice && options.device.empty()) throw ToolFailure(kExitUsage, "--record-device needs --device PATH");
  if (s.recordDevice) KeepDeviceMapping(port->port(), options.device);
  std::shared_ptr<IniFile> ini;
  const int before = Messages().Shown();
  Messages().Hold(true);
  port->WriteToFile(ini, s.file, s.section);
  Messages().Hold(false);
  if (Messages().Shown() != before) throw ToolFailure(kExitSettingsError, SaveFailure(s.file, Messages().Last()));
  std::cerr << "Saved the port settings to [" << s.section << "] and [" << s.section << " - SmartSwitch] of " << s.file
            << ".\n";
  if (!options.device.empty() && !s.recordDevice) SayMappingNotKept(port->port(), options.device);
}

void Row(const std::string& name, const std::string& value) {
  std::cout << "  " << std::left << std::setw(17) << name << value << "\n";
}

constexpr const char* kMissing = "(missing)";

// One key as the file holds it; "(missing)" when the section has no valid value for it. Each key
// is read on its own, so no value carries over from another.
class ShownSection {
 public:
  ShownSection(const std::string& file, const std::string& section) {
    ini_.FileName(file);
    ini_.Section(section);
  }
  std::string Integer(const std::string& key, const std::function<std::string(int16_t)>& show) {
    int16_t value = 0;
    return Found(ini_.ReadInteger(key, value)) ? show(value) : kMissing;
  }
  std::string Long(const std::string& key, const std::string& unit) {
    int32_t value = 0;
    return Found(ini_.ReadLong(key, value)) ? std::to_string(value) + unit : kMissing;
  }
  std::string Flag(const std::string& key) {
    bool value = false;
    return Found(ini_.ReadBoolean(key, value)) ? (value ? "yes" : "no") : kMissing;
  }
  bool Complete() const { return complete_; }

 private:
  bool Found(bool found) {
    complete_ = complete_ && found;
    return found;
  }
  KivoINIFile ini_;
  bool complete_ = true;
};

void ShowSection(const SettingsOptions& s) {
  CCOMPort names;
  ShownSection port(s.file, s.section);
  ShownSection sw(s.file, s.section + " - SmartSwitch");
  std::cout << "[" << s.section << "] in " << s.file << "\n";
  Row("Port", port.Integer("Port", [](int16_t n) { return n > 0 ? ComName(n) : std::string("none"); }));
  Row("BaudRate", port.Integer("BaudRate", [&](int16_t b) { return b < 0 ? std::string("none") : names.BaudRateName(b); }));
  Row("ControllerStyle",
      port.Integer("ControllerStyle", [](int16_t c) { return std::string(StyleName(static_cast<EControllerStyle>(c))); }));
  Row("UsesSmartSwitch", port.Flag("UsesSmartSwitch"));
  const std::string model =
      sw.Integer("Style", [](int16_t m) { return std::string(SwitchName(static_cast<ESmartSwitchStyle>(m))); });
  Row("SmartSwitch", model + " (" + sw.Integer("NumPorts", [](int16_t n) { return std::to_string(n); }) + " ports)");
  Row("AutoClose", port.Flag("AutoClose"));
  Row("Retries", port.Integer("Retries", [](int16_t n) { return std::to_string(n); }));
  Row("TimeOut", port.Long("TimeOut", " ms"));
  Row("StripCRLF", port.Flag("StripCRLF"));
  Row("UseIrDADongle", port.Flag("UseIrDADongle"));
  Row("CheckNonAscii", port.Flag("CheckNonAscii"));
  if (!port.Complete() || !sw.Complete())
    throw ToolFailure(kExitSettingsError, "the section is missing keys (shown as " + std::string(kMissing) + ")");
}

void RunShow(const SettingsOptions& s) {
  try {
    ShowSection(s);
  } catch (const Error& e) {
    throw ToolFailure(kExitSettingsError, e.Description());
  }
}

}  // namespace

void AddSettingsCommands(CLI::App& app) {
  CLI::App* settings = app.add_subcommand("settings", "save or show a port's settings in an INI file");
  settings->require_subcommand(1);

  auto saveOptions = std::make_shared<PortOptions>();
  auto saveFile = std::make_shared<SettingsOptions>();
  CLI::App* save = settings->add_subcommand("save", "save the port described by the options to FILE");
  save->add_option("FILE", saveFile->file, "the settings file (created when missing; other sections are kept)")->required();
  save->add_option("--section,-s", saveFile->section, "section name (default COMPort)");
  save->add_flag("--record-device", saveFile->recordDevice,
                 "also record in the ports folder that the port number names the --device path");
  AddPortOptions(*save, *saveOptions);
  save->callback([saveOptions, saveFile] { RunSave(*saveOptions, *saveFile); });

  auto showFile = std::make_shared<SettingsOptions>();
  CLI::App* show = settings->add_subcommand("show", "show the port settings saved in FILE");
  show->add_option("FILE", showFile->file, "the settings file")->required();
  show->add_option("--section,-s", showFile->section, "section name (default COMPort)");
  show->callback([showFile] { RunShow(*showFile); });
}

}  // namespace kivotool

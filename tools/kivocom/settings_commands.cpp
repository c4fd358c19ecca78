// settings save / settings show: a port's settings in a section of an INI file.
#include <iomanip>
#include <iostream>
#include <memory>

#include "commands.h"
#include "exit_codes.h"
#include "kivocom/comport.h"
#include "kivocom/ini_file.h"
#include "kivocom/smart_switch.h"
#include "port_options.h"
#include "tool_messages.h"

namespace kivotool {
namespace {

using namespace kivocom;

struct SettingsOptions {
  std::string file;
  std::string section = "COMPort";
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

void RunSave(const PortOptions& options, const SettingsOptions& s) {
  auto port = MakePort(options);
  std::shared_ptr<IniFile> ini;
  const int before = Messages().Shown();
  port->WriteToFile(ini, s.file, s.section);
  if (Messages().Shown() != before) throw ToolFailure(kExitSettingsError, "could not save the settings to " + s.file);
  std::cerr << "Saved the port settings to [" << s.section << "] and [" << s.section << " - SmartSwitch] of " << s.file
            << ".\n";
}

void Row(const std::string& name, const std::string& value) {
  std::cout << "  " << std::left << std::setw(17) << name << value << "\n";
}

void RunShow(const SettingsOptions& s) {
  CCOMPort port;
  port.MinBaudRate(BAUD_150);
  port.MaxBaudRate(BAUD_921600);
  std::shared_ptr<IniFile> ini;
  const bool complete = port.ReadFromFile(ini, s.file, s.section);
  CSmartSwitch sw;
  std::shared_ptr<IniFile> switchIni;
  sw.ReadFromFile(switchIni, s.file, s.section + " - SmartSwitch");
  const auto yes = [](bool value) { return std::string(value ? "yes" : "no"); };
  std::cout << "[" << s.section << "] in " << s.file << "\n";
  Row("Port", port.port() > 0 ? ComName(port.port()) : "none");
  Row("BaudRate", port.BaudRate() == BAUD_NONE ? "none" : port.BaudRateName());
  Row("ControllerStyle", StyleName(port.ControllerStyle()));
  Row("UsesSmartSwitch", yes(port.UsesSmartSwitch()));
  Row("SmartSwitch", std::string(SwitchName(sw.Style())) + " (" + std::to_string(sw.NumPorts()) + " ports)");
  Row("AutoClose", yes(port.AutoClose()));
  Row("Retries", std::to_string(port.Retries()));
  Row("TimeOut", std::to_string(port.TimeOut()) + " ms");
  Row("StripCRLF", yes(port.StripCRLF()));
  Row("UseIrDADongle", yes(port.UseIrDADongle()));
  Row("CheckNonAscii", yes(port.CheckNonAscii()));
  if (!complete) throw ToolFailure(kExitSettingsError, "the section is missing keys or could not be read");
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
  AddPortOptions(*save, *saveOptions);
  save->callback([saveOptions, saveFile] { RunSave(*saveOptions, *saveFile); });

  auto showFile = std::make_shared<SettingsOptions>();
  CLI::App* show = settings->add_subcommand("show", "show the port settings saved in FILE");
  show->add_option("FILE", showFile->file, "the settings file")->required();
  show->add_option("--section,-s", showFile->section, "section name (default COMPort)");
  show->callback([showFile] { RunShow(*showFile); });
}

}  // namespace kivotool

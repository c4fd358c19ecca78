// SPDX-License-Identifier: MIT
// CSmartSwitch: an RS-232 port multiplexer in front of several instruments. Every CCOMPort owns one
// and drives it through its own serial line; a client may also create one to edit its settings.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "kivocom/enums.h"

namespace kivocom {

class CCOMPort;
class IniFile;

class CSmartSwitch {
 public:
  // A new switch: model SSS_BB8PORT, 8 ports, no port connected, no parent.
  CSmartSwitch();
  ~CSmartSwitch();
  CSmartSwitch(const CSmartSwitch&) = delete;
  CSmartSwitch& operator=(const CSmartSwitch&) = delete;

  // The name of the connected switch port; empty when none is connected.
  std::string CurrentPort() const { return currentPort_; }
  // Sets the model; SSS_BB4PORT makes 4 ports, SSS_BB8PORT and SSS_BT528AP 8, other values keep them.
  void Style(ESmartSwitchStyle style);
  // The model.
  ESmartSwitchStyle Style() const { return style_; }
  // The number of ports of the model.
  int16_t NumPorts() const { return numPorts_; }
  // Makes `parent` the port whose line carries the switch's commands (nullptr for none). The
  // switch never keeps the port alive and forgets it when the port ends.
  void Parent(CCOMPort* parent);
  // The parent port, or nullptr when there is none (or it has ended).
  CCOMPort* Parent() const;

  // Saves the model and port count to section `secname` of a settings file; on failure shows an
  // error box. An empty `INIFile` gets a KivoINIFile for `fname`, released again before returning.
  void WriteToFile(std::shared_ptr<IniFile>& INIFile, const std::string& fname = "",
                   const std::string& secname = "SmartSwitch");
  // Loads the model and port count from section `secname`; true only when both keys were found
  // and nothing failed. Missing keys show an information box; failures an error box.
  bool ReadFromFile(std::shared_ptr<IniFile>& INIFile, const std::string& fname = "",
                    const std::string& secname = "SmartSwitch");

 private:
  friend class CCOMPort;
  friend struct SmartSwitchInternals;

  void NumPorts(int16_t count) { numPorts_ = count; }
  CCOMPort& RequireParent(const char* operation) const;
  void SelectPort(const std::string& port);
  void DeselectPort();
  void TestPorts();
  void Transmit(CCOMPort& parent, const std::string& command, const char* operation);

  std::weak_ptr<CCOMPort*> parent_;
  ESmartSwitchStyle style_ = SSS_BB8PORT;
  std::string currentPort_;
  int16_t numPorts_ = 8;
};

}  // namespace kivocom

// SPDX-License-Identifier: MIT
// The instrument simulator: plays laboratory instruments, optionally behind a smart switch, on the
// far end of a pseudo-terminal, in a thread of its own. Point a port at it with
// kivocom::MapPortToDevice(n, sim.DevicePath()) and every exchange of the library travels a real
// line discipline to an instrument that answers as configured. Programs that use kivocom test
// their own exchanges with it, as the library's tests and benchmarks do.
//
// What the instruments hear: bytes are cut into commands at each CR; an empty command (the lone CR
// that precedes every command) is nothing, and LF characters at the start of a command are
// skipped. CS_KIVO, CS_AZONIX and CS_XSYS instruments take the whole text as the command.
// CS_OMEGA instruments take only frames that start with EOT and their own doubled address: a poll
// frame (EOT, address, command, ENQ) is answered like any command; a set frame (EOT, address, STX,
// command, value, ETX, block check) with a good check stores the value as the command's reply and
// is answered with `setAcknowledgement` (ACK); a set frame with a bad or missing check, or a frame
// of any other shape, is answered with NAK and changes nothing. Frames for other addresses, and
// text that is no frame, go unanswered. The value starts after the longest command in the reply
// table that begins the frame, else after the frame's leading letters ("SL100.0": "SL", "100.0").
//
// WritePort never reads the answer to a set frame: an acknowledgement that arrives after its last
// clearing of the receive buffer is read by the next exchange, as with a real instrument. Programs
// that set and then poll at once can leave `setAcknowledgement` empty.
//
// What they answer: the reply table's text for the command, or `defaultReply` ("+0023.45") for a
// command that is not in the table, followed by the line end (CR LF; CR alone for CS_AZONIX). The
// download command instead streams the stored readings. A reply text may hold anything: inner
// line ends give multi-line replies, and bytes above 127 go out as they are.
//
// The line: the slave may be opened and closed for every exchange; the simulator keeps it
// openable until it is unplugged or destroyed. Answers sent while no program holds the slave open
// wait in the pseudo-terminal until the next opening clears its buffers.
//
// The Windows build runs under Wine only: it starts the native simulator host named by the
// environment variable KIVOCOM_SIMULATOR_HOST (kivocom_simhost of the Linux build), whose
// pseudo-terminal the host links as COM100 or the next free number of the Wine prefix, and every
// member below is a request to that host. Without the variable, or on Windows itself, the
// constructor raises 8012.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "kivocom/enums.h"
#include "kivocom/simulated_instrument.h"

namespace kivocom {

class SimulatorEngine;

// A pseudo-terminal pair whose far end plays instruments. Thread-safe: configure it, read its
// record and unplug it from any thread while it runs.
class InstrumentSimulator {
 public:
  // Identifies an instrument added to the simulator.
  using InstrumentId = std::size_t;

  // Opens the pair (far end raw) and starts answering; raises kivocom::Error (8012, source
  // "InstrumentSimulator - Open") when the system gives no pseudo-terminal.
  InstrumentSimulator();
  // Stops and joins the thread and closes the pair; the device path disappears.
  ~InstrumentSimulator();
  InstrumentSimulator(const InstrumentSimulator&) = delete;
  InstrumentSimulator& operator=(const InstrumentSimulator&) = delete;

  // The device the library opens, such as /dev/pts/3 (\\.\COM100 in the Windows build); valid
  // until the far end is unplugged.
  const std::string& DevicePath() const { return devicePath_; }

  // The line's rate in bits per second, used for pacing and the default reply delay (9600 until
  // set); raises kivocom::Error 380 for a rate below 1.
  void SetBaudRate(int32_t bitsPerSecond);
  // The line's rate in bits per second.
  int32_t BaudRate() const;

  // Puts `instrument` on switch port `switchPort`, or directly on the line for an empty name;
  // returns its id. Without a smart switch only the instruments directly on the line hear
  // commands; with one, only those on the connected switch port do.
  InstrumentId AddInstrument(SimulatedInstrument instrument, const std::string& switchPort = "");
  // Runs `change` on the instrument `id` while no command is being handled (do not call the
  // simulator from inside it); raises kivocom::Error 380 for an unknown id. The Windows build runs
  // it on a copy that then replaces the instrument, so a value a set frame stores in between is
  // lost.
  void ChangeInstrument(InstrumentId id, const std::function<void(SimulatedInstrument&)>& change);
  // A copy of the instrument `id` as it is now, stored set values included; raises
  // kivocom::Error 380 for an unknown id.
  SimulatedInstrument Instrument(InstrumentId id) const;

  // Puts a smart switch of `model` in front of the instruments, with no port connected.
  void UseSmartSwitch(ESmartSwitchStyle model);
  // Takes the smart switch away: the instruments directly on the line hear commands again.
  void RemoveSmartSwitch();
  // The switch port connected now; empty when none is, or when there is no switch.
  std::string ConnectedSwitchPort() const;

  // Every byte received from the library since the start or the last ClearReceived, switch
  // commands included, in order.
  std::string Received() const;
  // Forgets the bytes received so far.
  void ClearReceived();
  // Waits until at least `count` bytes are in the record; false when `timeout` passes first.
  bool WaitForReceived(std::size_t count, std::chrono::milliseconds timeout) const;
  // Waits until `sequence` appears in the record; false when `timeout` passes first.
  bool WaitForReceived(const std::string& sequence, std::chrono::milliseconds timeout) const;

  // Closes the far end now, as when the adapter is pulled out: the library's side sees hang-up,
  // answers in progress stop and the device path disappears. Returns once it is closed.
  void Unplug();
  // Whether the far end has been closed (by Unplug or by an instrument's `unplugAfter`).
  bool Unplugged() const;

 private:
  std::unique_ptr<SimulatorEngine> engine_;
  std::string devicePath_;
};

}  // namespace kivocom

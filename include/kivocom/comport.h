// SPDX-License-Identifier: MIT
// CCOMPort: one serial port set up for one kind of instrument controller. It keeps the line
// settings, opens and closes the thread's shared line, sends framed commands, reads replies with a
// time-out and retries, downloads blocks of readings, routes the line through its smart switch,
// stores its settings in INI files, fills port and baud-rate pick lists, and traces its traffic.
//
// All port objects of a thread share one serial control and so one line; each OpenPort applies the
// calling object's own settings. Objects are used on the thread that created them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "kivocom/enums.h"
#include "kivocom/error.h"

namespace kivocom {

class CSmartSwitch;
class SerialControl;
class IniFile;
class ImageCombo;
class ListControl;

class CCOMPort {
 public:
  // A port with the defaults: no port, no baud rate (limits none), CS_KIVO, AutoClose on,
  // 5 retries, 3000 ms time-out, line ends stripped, non-ASCII check on, tracing off.
  // Raises kivocom::Error when the thread's serial control cannot be created.
  CCOMPort();
  // Closes the line if open (releasing the switch first when used), then ends the switch.
  ~CCOMPort();
  CCOMPort(const CCOMPort&) = delete;
  CCOMPort& operator=(const CCOMPort&) = delete;

  // ---- Settings (stored only; applied at the next OpenPort) ----

  // Whether ReadPort reports CE_INVALID_DATA for reply characters above 128.
  bool CheckNonAscii() const { return checkNonAscii_; }
  void CheckNonAscii(bool value) { checkNonAscii_ = value; }
  // Whether every WritePort, ReadPort and Download closes the line at its end.
  bool AutoClose() const { return autoClose_; }
  void AutoClose(bool value) { autoClose_ = value; }
  // Whether operations append trace lines to the trace file.
  bool Debugging() const { return debugging_; }
  void Debugging(bool value) { debugging_ = value; }
  // Whether OpenPort routes the line through the smart switch and ClosePort releases it.
  bool UsesSmartSwitch() const { return usesSmartSwitch_; }
  void UsesSmartSwitch(bool value) { usesSmartSwitch_ = value; }
  // Whether OpenPort runs the IrDA dongle start-up after opening.
  bool UseIrDADongle() const { return useIrDADongle_; }
  void UseIrDADongle(bool value) { useIrDADongle_ = value; }
  // The port number opened next; any number is stored, 0 and COM_NONE are never applied.
  ECOMPort port() const { return static_cast<ECOMPort>(port_); }
  void port(int32_t value) { port_ = value; }
  // The controller style; setting one of the four styles also sets parity, data and stop bits.
  EControllerStyle ControllerStyle() const { return controllerStyle_; }
  void ControllerStyle(EControllerStyle value);
  // Parity, fixed by the controller style.
  EParity Parity() const { return parity_; }
  // Stop bits, fixed by the controller style.
  EStopBits StopBits() const { return stopBits_; }
  // Data bits, fixed by the controller style.
  EDataBits DataBits() const { return dataBits_; }
  // The line speed. Setting a value outside [MinBaudRate, MaxBaudRate] raises 0x80040036
  // "Baud rate not supported." and keeps the old value.
  EBaudRate BaudRate() const { return baudRate_; }
  void BaudRate(EBaudRate value);
  // The lowest accepted baud rate; stored without a check.
  EBaudRate MinBaudRate() const { return minBaudRate_; }
  void MinBaudRate(EBaudRate value) { minBaudRate_ = value; }
  // The highest accepted baud rate; stored without a check.
  EBaudRate MaxBaudRate() const { return maxBaudRate_; }
  void MaxBaudRate(EBaudRate value) { maxBaudRate_ = value; }
  // Total transmissions of a command by ReadPort and Download (1 or less means one).
  int16_t Retries() const { return retries_; }
  void Retries(int16_t value) { retries_ = value; }
  // Milliseconds ReadPort waits for a reply, and Download for silence, in each attempt.
  int32_t TimeOut() const { return timeOut_; }
  void TimeOut(int32_t value) { timeOut_ = value; }
  // Whether ReadPort turns line ends into blanks and trims the reply.
  bool StripCRLF() const { return stripCRLF_; }
  void StripCRLF(bool value) { stripCRLF_ = value; }
  // The thread's serial control, shared by every port object of the thread.
  SerialControl& COMControl() const { return *control_; }

  // The text of baud rate `vData` ("150" ... "921600"; "2400" for any other index);
  // -2, the default, names the current BaudRate.
  std::string BaudRateName(int32_t vData = -2) const;
  // True when both BaudRate and port are chosen.
  bool IsConfigured() const;
  // Empties both buffers of the serial control; the control's error (line closed) reaches the caller.
  void ClearBuffers();

  // ---- Opening and closing ----

  // Closes the line, applies this object's port number and settings, opens it, routes the smart
  // switch to `ssport` (when used and not empty) and runs the IrDA start-up (when used).
  // False when no port is chosen; raises 0x80040033 "Cannot open COM port n" when it cannot open.
  bool OpenPort(const std::string& ssport = "");
  // Releases the switch port (when used) and closes the line; does nothing when it is closed.
  void ClosePort();
  // Opens the line and steps the smart switch through all its ports, 200 ms each, then closes.
  void TestSmartSwitch();

  // ---- Exchanges ----

  // Sends `cmd`, framed for the controller style, preceded by a lone CR and ended by CR.
  // `errorcode` is CE_ABORTED when no port is chosen; an opening failure is raised.
  void WritePort(ECOMError& errorcode, const std::string& cmd = "", const std::string& ssport = "",
                 const std::string& Address = "", const std::string& SetStr = "");
  // Sends `cmd` and returns the reply (complete at an LF, or at the time-out when it holds a CR),
  // retrying silent attempts; `errorcode` is CE_NONE, CE_TIMEOUT, CE_INVALID_DATA or CE_ABORTED.
  // An echo of the command that the line gives back is not part of the reply. A port that cannot
  // be opened ends the call at once with CE_TIMEOUT, LineError saying why. A lost line (8020)
  // ends the attempt at once and the next attempt opens it again; when it cannot be opened again,
  // the call ends with CE_TIMEOUT and LineError says why. A far end that sends more than
  // kMaxReplyBytes without ending its reply ends the call with CE_TIMEOUT (CE_INVALID_DATA when
  // the check finds characters above 128), the first kMaxReplyBytes bytes and LineError
  // 0x80040039. Never raises.
  std::string ReadPort(ECOMError& errorcode, const std::string& cmd = "",
                       const std::string& ssport = "", const std::string& Address = "");
  // Sends `cmd` and returns everything received until the line stays silent for TimeOut, with a
  // progress window the user can cancel; `errorcode` is CE_NONE, CE_TIMEOUT, CE_INVALID_DATA or
  // CE_ABORTED. A port that cannot be opened ends the call at once with CE_TIMEOUT, LineError
  // saying why. Data that began only after the command was sent again (the instrument took
  // longer than TimeOut to start) may hold the answers to both sendings: it is returned with
  // CE_INVALID_DATA and LineError 0x8004003A. A lost line (8020) ends the download at once with
  // CE_ABORTED and the data received so far; so does data past kMaxDownloadBytes (LineError
  // 0x80040039). `readings` is only the progress total. Never raises.
  std::string Download(bool BinaryMode, ECOMError& errorcode, const std::string& cmd = "",
                       const std::string& ssport = "", const std::string& Address = "",
                       int32_t readings = 1);
  // Why the last ReadPort or Download did not end as usual: the port could not be opened, the
  // line was lost (8020) or could not be opened again after it, the far end sent too much
  // (0x80040039), or a download's data began after a resend (0x8004003A). Number 0 when none of
  // these happened, or the line came back and the exchange went on.
  const ErrorRecord& LineError() const { return lineError_; }
  // The longest reply ReadPort collects: 65,536 bytes (twice what instrument replies are made for).
  static constexpr std::size_t kMaxReplyBytes = std::size_t{64} * 1024;
  // The most a Download gathers: 64 MiB (about 12 minutes at 921,600 baud). The piece that
  // passes it is kept, so the data holds at most one piece (the line's 1 MiB buffer) more.
  static constexpr std::size_t kMaxDownloadBytes = std::size_t{64} * 1024 * 1024;

  // ---- Pick lists ----

  // Fills `ctrl` with the ports present (1 to 256), marking ports in use, the current port and the
  // IrDA port, and selects `CurrentPort`. Failures after the clearing raise with source
  // "CCOMPort - FillCOMPortsCombo".
  void FillCOMPortsCombo(ImageCombo& ctrl, int16_t CurrentPort = 0);
  // Fills `ctrl` with the baud rates from MinBaudRate to MaxBaudRate, each carrying its index.
  void FillBaudRatesCombo(ListControl& ctrl);

  // ---- Settings files ----

  // Saves the settings, and the switch's in section "<secname> - SmartSwitch"; on failure shows
  // an error box. An empty `INIFile` gets a KivoINIFile for `fname`, released before returning.
  void WriteToFile(std::shared_ptr<IniFile>& INIFile, const std::string& fname = "",
                   const std::string& secname = "COMPort");
  // Loads the settings and the switch's; true only when every key was found and nothing failed.
  // Missing keys show an information box; failures an error box.
  bool ReadFromFile(std::shared_ptr<IniFile>& INIFile, const std::string& fname = "",
                    const std::string& secname = "COMPort");

  // ---- Trace file ----

  // Appends one line (time stamp, TAB, `Text`) to the trace file, whatever Debugging holds.
  // Never fails: a line that cannot be written is lost silently.
  void UpdateDebugFile(const std::string& Text = "");

 private:
  friend class CSmartSwitch;

  void ApplySettings();
  std::string SettingsString() const;
  void InitIrDADongle();

  EBaudRate baudRate_ = BAUD_NONE;
  EBaudRate minBaudRate_ = BAUD_NONE;
  EBaudRate maxBaudRate_ = BAUD_NONE;
  EDataBits dataBits_ = DATA_8BITS;
  EStopBits stopBits_ = STOP_1BIT;
  EParity parity_ = PARITY_NONE;
  EControllerStyle controllerStyle_ = CS_KIVO;
  int32_t port_ = COM_NONE;
  bool usesSmartSwitch_ = false;
  std::unique_ptr<CSmartSwitch> switch_;
  bool autoClose_ = true;
  std::shared_ptr<SerialControl> control_;
  int16_t retries_ = 5;
  int32_t timeOut_ = 3000;
  bool stripCRLF_ = true;
  bool useIrDADongle_ = false;
  bool debugging_ = false;
  bool checkNonAscii_ = true;
  ErrorRecord lineError_;
  // Lets the switch refer to this port without keeping it alive or outliving it.
  std::shared_ptr<CCOMPort*> self_;
};

}  // namespace kivocom

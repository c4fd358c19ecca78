// SPDX-License-Identifier: MIT
// The one error type the library raises: an error record with a number, a source, a description
// and an optional help file and context, as clients of instrument components expect.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace kivocom {

// The fields of one error; number 0 means no error.
struct ErrorRecord {
  int32_t number = 0;       // the error's number, for example 0x80040033
  std::string source;       // class and operation, for example "CCOMPort - OpenPort"
  std::string description;  // what went wrong, in words a user can act on
  std::string helpFile;     // help file that explains the error, usually empty
  int32_t helpContext = 0;  // topic in the help file
};

// Raised by the library's operations; what() returns the description.
class Error : public std::runtime_error {
 public:
  // An error with the given number, source and description.
  Error(int32_t number, std::string source, std::string description);
  // An error carrying a whole record.
  explicit Error(ErrorRecord record);

  int32_t Number() const { return record_.number; }                      // the error's number
  const std::string& Source() const { return record_.source; }            // class and operation
  const std::string& Description() const { return record_.description; }  // the error's text
  const std::string& HelpFile() const { return record_.helpFile; }        // help file, may be empty
  int32_t HelpContext() const { return record_.helpContext; }            // topic in the help file
  const ErrorRecord& Record() const { return record_; }                   // all fields at once

 private:
  ErrorRecord record_;
};

// Error numbers the library raises itself.
inline constexpr int32_t kErrCannotOpenPort = static_cast<int32_t>(0x80040033);     // OpenPort failed
inline constexpr int32_t kErrBaudRateNotSupported = static_cast<int32_t>(0x80040036);  // BaudRate refused
inline constexpr int32_t kErrNoParent = static_cast<int32_t>(0x80040037);  // switch used without a port
inline constexpr int32_t kErrDrainTimeout = static_cast<int32_t>(0x80040038);  // transmit never drained
inline constexpr int32_t kErrTooMuchData = static_cast<int32_t>(0x80040039);  // a reply or download past its bound
inline constexpr int32_t kErrDataAfterResend = static_cast<int32_t>(0x8004003A);  // download began after a resend

// Error numbers of the serial control, the values serial-control clients have long compared against.
inline constexpr int32_t kErrInvalidPortNumber = 8002;    // no device for this port number
inline constexpr int32_t kErrPortAlreadyOpen = 8005;      // the port is already open
inline constexpr int32_t kErrHardwareNotAvailable = 8010;  // another program holds the port
inline constexpr int32_t kErrDeviceNotOpen = 8012;        // the device could not be opened
inline constexpr int32_t kErrCannotSetCommState = 8015;   // the line settings were refused
inline constexpr int32_t kErrPortNotOpen = 8018;          // operation valid only when the port is open
inline constexpr int32_t kErrReadingDevice = 8020;        // reading or writing the device failed
inline constexpr int32_t kErrInvalidPropertyValue = 380;  // a value the member cannot take

}  // namespace kivocom

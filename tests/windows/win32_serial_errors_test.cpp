// SPDX-License-Identifier: MIT
// Windows errors on a serial line as the library's errors. Under Wine a second open of a COM
// port succeeds, so the "in use" refusal a Windows driver gives cannot be caused there; its
// mapping is checked here from the error code.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "kivocom/error.h"
#include "platform/line/windows/win32_serial_errors.h"

namespace kivocom {
namespace {

const std::string kSource = "SerialControl - PortOpen";
const std::string kDevice = "\\\\.\\COM4";

TEST(Win32SerialErrors, OpenFailuresNameThePortAndWhatToDo) {
  struct Row {
    const char* name;
    DWORD err;
    int32_t number;
    const char* advice;
  };
  const Row rows[] = {
      {"no such port", ERROR_FILE_NOT_FOUND, kErrInvalidPortNumber, "KIVOCOM_COM4"},
      {"no such path", ERROR_PATH_NOT_FOUND, kErrInvalidPortNumber, "Connect the device"},
      {"adapter unplugged", ERROR_DEVICE_NOT_CONNECTED, kErrInvalidPortNumber, "Connect the device"},
      {"held by a driver that shares nothing", ERROR_ACCESS_DENIED, kErrHardwareNotAvailable, "close that program"},
      {"held, share mode honoured", ERROR_SHARING_VIOLATION, kErrHardwareNotAvailable, "in use by another program"},
      {"anything else", ERROR_INVALID_PARAMETER, kErrDeviceNotOpen, "cannot be opened"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Error error = OpenError(kSource, 4, kDevice, row.err);
    EXPECT_EQ(error.Number(), row.number);
    EXPECT_EQ(error.Source(), kSource);
    EXPECT_NE(error.Description().find("COM4"), std::string::npos) << error.Description();
    EXPECT_NE(error.Description().find(row.advice), std::string::npos) << error.Description();
  }
}

TEST(Win32SerialErrors, ALostLineSaysTheyMayOpenItAgain) {
  for (DWORD err : {ERROR_BROKEN_PIPE, ERROR_ACCESS_DENIED, ERROR_DEVICE_REMOVED, ERROR_INVALID_HANDLE}) {
    SCOPED_TRACE(err);
    const Error error = DeviceError("SerialControl - Input", 4, kDevice, err);
    EXPECT_EQ(error.Number(), kErrReadingDevice);
    EXPECT_NE(error.Description().find("COM4 (" + kDevice + ")"), std::string::npos);
    EXPECT_NE(error.Description().find("open it again"), std::string::npos);
    EXPECT_EQ(error.Description().find("removed") != std::string::npos, err != ERROR_INVALID_HANDLE)
        << error.Description();
  }
}

}  // namespace
}  // namespace kivocom

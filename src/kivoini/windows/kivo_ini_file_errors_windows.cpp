// SPDX-License-Identifier: MIT
// System errors of settings-file operations, as the error numbers settings-file clients know: the
// same numbers the POSIX errno values of the same faults give.
#include "kivoini/windows/kivo_ini_file_errors_windows.h"

#include "kivocom/error.h"
#include "kivocom/kivo_ini_file.h"
#include "platform/windows/system_text_windows.h"

namespace kivocom {

int32_t SettingsFileErrorNumber(DWORD code) {
  switch (code) {
    // No room: the disk, the user's quota, or a file-size limit (ENOSPC, EDQUOT, EFBIG).
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_FILE_TOO_LARGE:
      return kErrIniDiskFull;
    // Refused by permissions or by a write-protected medium (EACCES, EPERM, EROFS).
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_PRIVILEGE_NOT_HELD:
      return kErrIniPermissionDenied;
    // A folder or drive on the way is missing (ENOENT, ENOTDIR).
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_DIRECTORY:
    case ERROR_CANT_RESOLVE_FILENAME:
      return kErrIniPathNotFound;
    // A name the file system cannot hold (ENAMETOOLONG).
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
      return kErrIniBadFileName;
    // The device failed (EIO).
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE:
    case ERROR_NOT_READY:
    case ERROR_DEV_NOT_EXIST:
      return kErrIniDeviceIO;
    // Everything else, held files (sharing and lock violations) among them: the file cannot be
    // used now.
    default:
      return kErrIniFileAccess;
  }
}

void RaiseReadError(int32_t number, const std::string& path, const std::string& reason,
                    const std::string& source) {
  throw Error(number, source, "Cannot read settings file \"" + path + "\": " + reason + ".");
}

void RaiseReadError(DWORD code, const std::string& path, const std::string& source) {
  RaiseReadError(SettingsFileErrorNumber(code), path, SystemErrorText(code), source);
}

void RaiseSaveError(int32_t number, const std::string& path, const std::string& reason,
                    const std::string& source) {
  throw Error(number, source,
              "Cannot save settings file \"" + path + "\": " + reason + "; the file was not changed.");
}

void RaiseSaveError(DWORD code, const std::string& path, const std::string& source) {
  RaiseSaveError(SettingsFileErrorNumber(code), path, SystemErrorText(code), source);
}

}  // namespace kivocom

// SPDX-License-Identifier: MIT
// System errors of settings-file operations, as the error numbers settings-file clients know.
#include "kivoini/posix/kivo_ini_file_errors_posix.h"

#include <cerrno>
#include <system_error>

#include "kivocom/error.h"
#include "kivocom/kivo_ini_file.h"

namespace kivocom {
namespace {

std::string SystemText(int err) { return std::generic_category().message(err); }

}  // namespace

int32_t SettingsFileErrorNumber(int err) {
  switch (err) {
    // No room: the file system, the user's quota, or the program's own file-size limit.
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return kErrIniDiskFull;
    // Refused by permissions, by a read-only mount, or by an immutable file.
    case EACCES:
    case EPERM:
    case EROFS:
      return kErrIniPermissionDenied;
    // A folder on the way is missing, or is a file.
    case ENOENT:
    case ENOTDIR:
    case ELOOP:
      return kErrIniPathNotFound;
    case ENAMETOOLONG:
      return kErrIniBadFileName;
    case EIO:
      return kErrIniDeviceIO;
    default:
      return kErrIniFileAccess;
  }
}

void RaiseReadError(int32_t number, const std::string& path, const std::string& reason,
                    const std::string& source) {
  throw Error(number, source, "Cannot read settings file \"" + path + "\": " + reason + ".");
}

void RaiseReadError(int err, const std::string& path, const std::string& source) {
  RaiseReadError(SettingsFileErrorNumber(err), path, SystemText(err), source);
}

void RaiseSaveError(int32_t number, const std::string& path, const std::string& reason,
                    const std::string& source) {
  throw Error(number, source,
              "Cannot save settings file \"" + path + "\": " + reason + "; the file was not changed.");
}

void RaiseSaveError(int err, const std::string& path, const std::string& source) {
  RaiseSaveError(SettingsFileErrorNumber(err), path, SystemText(err), source);
}

}  // namespace kivocom

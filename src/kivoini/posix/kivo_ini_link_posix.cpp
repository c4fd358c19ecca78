// SPDX-License-Identifier: MIT
#include "kivoini/posix/kivo_ini_link_posix.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "kivocom/kivo_ini_file.h"
#include "kivoini/posix/kivo_ini_file_errors_posix.h"

namespace kivocom {
namespace {

// Links are followed at most this many times, as the system does.
constexpr int kMostLinks = 40;

bool InFolderAnyoneMayWrite(const std::filesystem::path& link) {
  struct stat folder {};
  const std::filesystem::path parent = link.has_parent_path() ? link.parent_path() : std::filesystem::path(".");
  return stat(parent.c_str(), &folder) == 0 && (folder.st_mode & S_IWOTH) != 0;
}

std::filesystem::path NextHop(const std::filesystem::path& link) {
  std::string target(PATH_MAX, '\0');
  const ssize_t length = readlink(link.c_str(), target.data(), target.size());
  if (length < 0) return {};
  target.resize(static_cast<std::size_t>(length));
  const std::filesystem::path next(target);
  return next.is_absolute() || !link.has_parent_path() ? next : link.parent_path() / next;
}

}  // namespace

std::string TrustedSaveTarget(const std::string& path, const std::string& source) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), &std::free);
  if (!resolved) return path;
  struct stat target {};
  const bool targetIsMine = stat(resolved.get(), &target) == 0 && target.st_uid == geteuid();
  std::filesystem::path hop(path);
  for (int i = 0; i < kMostLinks && lstat(hop.c_str(), &info) == 0 && S_ISLNK(info.st_mode); ++i) {
    if (InFolderAnyoneMayWrite(hop))
      RaiseSaveError(kErrIniFileAccess, path,
                     "it is a symbolic link in a folder every user may write to, so it is not followed", source);
    if (info.st_uid != 0 && !(info.st_uid == geteuid() && targetIsMine))
      RaiseSaveError(kErrIniFileAccess, path,
                     "it is a symbolic link that another user owns, or that leads to another user's file, so it "
                     "is not followed",
                     source);
    hop = NextHop(hop);
  }
  return resolved.get();
}

}  // namespace kivocom

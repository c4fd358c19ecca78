// SPDX-License-Identifier: MIT
#include "download_output.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>

#include "exit_codes.h"
#include "tool_system.h"

namespace kivotool {
namespace {

namespace fs = std::filesystem;

std::string SystemReason() { return errno ? std::string(": ") + std::strerror(errno) : std::string(); }

// A link is followed, so the file it names is the one replaced and the link stays.
fs::path Target(const std::string& output) {
  std::error_code error;
  const fs::path resolved = fs::canonical(output, error);
  return error ? fs::path(output) : resolved;
}

// Devices, pipes and the like cannot be replaced: they are written as they are.
bool Replaceable(const fs::path& target) {
  std::error_code error;
  const fs::file_status status = fs::status(target, error);
  return !fs::exists(status) || fs::is_regular_file(status);
}

fs::path BesideName(const fs::path& target) {
  std::random_device random;
  return target.parent_path() / ("." + target.filename().string() + ".kivocom-" + std::to_string(random() % 1000000));
}

bool WriteFile(const fs::path& path, const std::string& data) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << data;
  file.close();
  return static_cast<bool>(file);
}

// Writes beside the target and renames over it, keeping the old file's permissions: a failure
// halfway leaves the old file as it was.
bool ReplaceFile(const fs::path& target, const std::string& data) {
  const fs::path beside = BesideName(target);
  std::error_code error;
  const fs::file_status old = fs::status(target, error);
  bool done = WriteFile(beside, data);
  if (done && fs::exists(old)) fs::permissions(beside, old.permissions(), error);
  if (done) fs::rename(beside, target, error);
  done = done && !error;
  if (!done) fs::remove(beside, error);
  return done;
}

}  // namespace

bool ToStandardOutput(const std::string& output) { return output.empty() || output == "-"; }

void RequireWritableOutput(const std::string& output) {
  if (ToStandardOutput(output)) return;
  const fs::path target = Target(output);
  std::error_code error;
  errno = 0;
  if (fs::exists(target, error) && !std::ofstream(target, std::ios::binary | std::ios::app))
    throw ToolFailure(kExitOutputError, "cannot write " + output + SystemReason() + "; nothing was downloaded");
  if (!Replaceable(target)) return;
  const fs::path probe = BesideName(target);
  errno = 0;
  const bool writable = static_cast<bool>(std::ofstream(probe, std::ios::binary));
  const std::string reason = SystemReason();
  fs::remove(probe, error);
  if (!writable)
    throw ToolFailure(kExitOutputError, "cannot write " + output + reason + " (the file is written in " +
                                            (target.has_parent_path() ? target.parent_path().string() : ".") +
                                            " beside it, then renamed); nothing was downloaded");
}

void WriteResult(const std::string& data, const std::string& output) {
  if (ToStandardOutput(output)) {
    std::cout << data << std::flush;
    return;
  }
  const fs::path target = Target(output);
  errno = 0;
  if (Replaceable(target) ? ReplaceFile(target, data) : WriteFile(target, data)) {
    std::cerr << "Wrote " << data.size() << " bytes to " << output << ".\n";
    return;
  }
  const std::string failed = "could not write " + output + SystemReason() + "; the " + std::to_string(data.size()) + " bytes ";
  std::string kept;
  try {
    kept = (fs::path(MakeTemporaryFolder("kivocom-download-")) / "readings").string();
  } catch (const ToolFailure&) {
  }
  if (kept.empty() || !WriteFile(kept, data)) throw ToolFailure(kExitOutputError, failed + "could not be saved anywhere");
  throw ToolFailure(kExitOutputError, failed + "are saved in " + kept);
}

std::string WhereDataWent(const std::string& output) {
  return ToStandardOutput(output) ? "went to standard output" : "are in " + output;
}

}  // namespace kivotool

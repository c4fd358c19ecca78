// SPDX-License-Identifier: MIT
#include "kivocom/recorded_session.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "kivocom/error.h"
#include "instruments/replay_plan.h"

namespace kivocom {
namespace {

constexpr int32_t kErrFileNotFound = 53;
// Far beyond any bench session (a day of polling); a bigger file is read no further.
constexpr std::uintmax_t kLargestRecord = 256u << 20;

std::string ReadRecordFile(const std::string& path, const std::string& source) {
  std::error_code error;
  const bool regular = std::filesystem::is_regular_file(path, error);
  std::ifstream file;
  if (regular) file.open(path, std::ios::binary);
  if (!regular || !file) {
    const std::string why = error ? error.message() : regular ? std::strerror(errno) : "it is no file";
    throw Error(kErrFileNotFound, source, "The session record " + path + " cannot be read: " + why + ".");
  }
  if (std::filesystem::file_size(path, error) > kLargestRecord) {
    throw Error(kErrInvalidPropertyValue, source, "The file " + path + " is too large to be a session record.");
  }
  std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (file.bad()) throw Error(kErrFileNotFound, source, "The session record " + path + " cannot be read.");
  return text;
}

}  // namespace

RecordedSession ReadRecordedSession(const std::string& recordPath, const std::string& source) {
  return PlanReplay(ParseRecord(ReadRecordFile(recordPath, source)));
}

}  // namespace kivocom

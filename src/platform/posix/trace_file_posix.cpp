// SPDX-License-Identifier: MIT
// The trace file on POSIX systems: its folder, the time stamp, and appending one line safely.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <iomanip>
#include <locale>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "kivocom/trace_file.h"

namespace kivocom {
namespace {

constexpr const char* kTraceFileName = "dbgkcom.txt";

std::string ProgramPath() {
  char exe[4096];
  const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  return n > 0 ? std::string(exe, static_cast<std::size_t>(n)) : std::string();
}

// The file this code was loaded from, as an absolute path: the shared library, or the program
// itself when the library was linked statically. The loader may give a path relative to the folder
// the program started in ("./prog"), which a later change of folder would move: the program's own
// path comes from the kernel instead, and another relative path is made absolute at once.
std::string OwnFile() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&OwnFile), &info) == 0 || !info.dli_fname) return ProgramPath();
  const std::string path = info.dli_fname;
  if (path.starts_with('/')) return path;
  const std::string program = ProgramPath();
  const auto baseName = [](const std::string& p) { return p.substr(p.rfind('/') + 1); };
  if (path.find('/') == std::string::npos || baseName(path) == baseName(program)) return program;
  std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), &std::free);
  return resolved ? std::string(resolved.get()) : program;
}

// Found once, so that the folder stays the same whatever the program's current folder becomes.
std::string OwnFolder() {
  static const std::string folder = [] {
    const std::string file = OwnFile();
    const auto slash = file.rfind('/');
    if (slash == std::string::npos) return std::string(".");
    return slash == 0 ? std::string("/") : file.substr(0, slash);
  }();
  return folder;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

// The user's regional settings (LC_TIME and friends from the environment); the classic locale
// when the environment names one this system does not have.
std::locale UserLocale() {
  try {
    return std::locale("");
  } catch (const std::runtime_error&) {
    return std::locale::classic();
  }
}

bool WriteAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::string TraceFolder() {
  const char* dir = std::getenv("KIVOCOM_TRACE_DIR");
  if (dir && *dir) return dir;
  return OwnFolder();
}

std::string TraceFilePath() { return JoinPath(TraceFolder(), kTraceFileName); }

std::string TraceTimeStamp(const std::tm& when) {
  static const std::locale userLocale = UserLocale();
  std::ostringstream out;
  out.imbue(userLocale);
  const bool midnight = when.tm_hour == 0 && when.tm_min == 0 && when.tm_sec == 0;
  out << std::put_time(&when, midnight ? "%x" : "%x %X");
  return out.str();
}

namespace {

// Composes the line and appends it in one write.
void AppendLine(const std::string& text) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (!localtime_r(&now, &local)) return;
  const std::string line = TraceTimeStamp(local) + "\t" + text + "\r\n";

  // O_NOFOLLOW: a link planted at the path is refused, so a traced program never appends to a
  // file the link points at. O_NONBLOCK: a FIFO planted there cannot block the caller.
  const int fd = open(TraceFilePath().c_str(),
                      O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
  if (fd < 0) return;
  struct stat st{};
  // One write of the whole line: O_APPEND makes it land in one piece even with other writers.
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) WriteAll(fd, line);
  close(fd);
}

}  // namespace

void AppendTraceLine(const std::string& text) {
  // Tracing never fails an operation: a line that cannot even be composed is lost like one that
  // cannot be written.
  try {
    AppendLine(text);
  } catch (...) {
  }
}

}  // namespace kivocom

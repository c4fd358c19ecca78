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
#include <sstream>
#include <stdexcept>

#include "kivocom/trace_file.h"

namespace kivocom {
namespace {

constexpr const char* kTraceFileName = "dbgkcom.txt";

// The folder of the file this code was loaded from: the shared library, or the program itself
// when the library was linked statically.
std::string OwnFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&OwnFolder), &info) == 0 || !info.dli_fname) return ".";
  std::string path = info.dli_fname;
  if (path.find('/') == std::string::npos) {
    char exe[4096];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return ".";
    path.assign(exe, static_cast<std::size_t>(n));
  }
  const auto slash = path.rfind('/');
  return slash == 0 ? "/" : path.substr(0, slash);
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

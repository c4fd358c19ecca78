// The trace file's line layout and the port object's UpdateDebugFile.
#include <ctime>
#include <iomanip>
#include <locale>
#include <sstream>

#include "kivocom/comport.h"
#include "kivocom/trace_file.h"

namespace kivocom {
namespace {

// The user's regional settings (LC_TIME and friends from the environment); the classic locale
// when the environment names one this system does not have.
std::locale UserLocale() {
  try {
    return std::locale("");
  } catch (const std::runtime_error&) {
    return std::locale::classic();
  }
}

}  // namespace

std::string TraceTimeStamp(const std::tm& when) {
  static const std::locale userLocale = UserLocale();
  std::ostringstream out;
  out.imbue(userLocale);
  const bool midnight = when.tm_hour == 0 && when.tm_min == 0 && when.tm_sec == 0;
  out << std::put_time(&when, midnight ? "%x" : "%x %X");
  return out.str();
}

void CCOMPort::UpdateDebugFile(const std::string& Text) { AppendTraceLine(Text); }

}  // namespace kivocom

// SPDX-License-Identifier: MIT
#include "visible_text.h"

#include <cstdio>

namespace kivotool {

std::string Visible(const std::string& bytes) {
  static const char* const kNames[32] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "TAB", "LF",
                                         "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
                                         "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
  std::string out;
  for (unsigned char c : bytes) {
    if (c < 32) {
      out += std::string("<") + kNames[c] + ">";
    } else if (c >= 127) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "<x%02X>", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string VisibleStart(const std::string& bytes, std::size_t most) {
  return bytes.size() <= most ? Visible(bytes) : Visible(bytes.substr(0, most)) + "...";
}

std::string VisibleLines(const std::string& trace) {
  // Each line is "<stamp>TAB<text>CR LF" and a stamp holds no TAB, so a line's text runs from its
  // TAB to the last CR LF before the next line's TAB, even when the text itself holds CR LF.
  std::string out;
  std::size_t pos = 0;
  while (pos < trace.size()) {
    const std::size_t tab = trace.find('\t', pos);
    if (tab == std::string::npos) break;
    const std::size_t nextTab = trace.find('\t', tab + 1);
    const std::size_t limit = nextTab == std::string::npos ? trace.size() : nextTab;
    std::size_t end = limit >= 2 ? trace.rfind("\r\n", limit - 2) : std::string::npos;
    if (end == std::string::npos || end < tab) end = limit;
    out += trace.substr(pos, tab - pos) + "  " + Visible(trace.substr(tab + 1, end - tab - 1)) + "\n";
    pos = end + 2;
  }
  return out;
}

std::string Indent(const std::string& text, const std::string& prefix) {
  std::string out;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out += prefix + line + "\n";
    start = end + 1;
  }
  return out;
}

std::string ResultName(kivocom::ECOMError error) {
  switch (error) {
    case kivocom::CE_NONE: return "CE_NONE";
    case kivocom::CE_TIMEOUT: return "CE_TIMEOUT";
    case kivocom::CE_INVALID_DATA: return "CE_INVALID_DATA";
    case kivocom::CE_ABORTED: return "CE_ABORTED";
  }
  return "unknown";
}

}  // namespace kivotool

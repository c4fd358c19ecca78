// Points the trace file at a fresh temporary folder for one test and reads its lines back.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kivocom {

class TraceCapture {
 public:
  TraceCapture() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kivocom-trace-XXXXXX").string();
    folder_ = mkdtemp(pattern.data());
    setenv("KIVOCOM_TRACE_DIR", folder_.c_str(), 1);
  }
  ~TraceCapture() {
    unsetenv("KIVOCOM_TRACE_DIR");
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  std::string Path() const { return folder_ + "/dbgkcom.txt"; }
  const std::string& Folder() const { return folder_; }

  // The whole file as written.
  std::string Raw() const {
    std::ifstream in(Path(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  // The texts of the lines, without time stamps, TABs and line ends. A text may itself hold CR
  // and LF, so lines are found by their TAB: each line is "<stamp>TAB<text>CR LF", and a stamp
  // holds no line end.
  std::vector<std::string> Texts() const {
    const std::string raw = Raw();
    std::vector<std::string> texts;
    std::size_t tab = raw.find('\t');
    while (tab != std::string::npos) {
      const std::size_t next = raw.find('\t', tab + 1);
      const std::string chunk = raw.substr(tab + 1, next == std::string::npos ? std::string::npos : next - tab - 1);
      texts.push_back(chunk.substr(0, chunk.rfind("\r\n")));
      tab = next;
    }
    return texts;
  }

 private:
  std::string folder_;
};

}  // namespace kivocom

// SPDX-License-Identifier: MIT
// Points the trace file at a fresh temporary folder for one test and reads its lines back.
#pragma once

#include <string>
#include <vector>

#include "support/environment.h"
#include "support/scratch_folder.h"

namespace kivocom {

class TraceCapture {
 public:
  TraceCapture() : folder_("kivocom-trace-") { SetEnvironment("KIVOCOM_TRACE_DIR", folder_.Folder()); }
  ~TraceCapture() { UnsetEnvironment("KIVOCOM_TRACE_DIR"); }

  std::string Path() const { return folder_.Path("dbgkcom.txt"); }
  const std::string& Folder() const { return folder_.Folder(); }

  // The whole file as written.
  std::string Raw() const { return ReadFileBytes(Path()); }

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
  ScratchFolder folder_;
};

}  // namespace kivocom

// SPDX-License-Identifier: MIT
// Fuzzes the small readers of text that comes from outside the program: the ports-folder file
// that names a device, and the "~" template filler fed a template and its values. Input: one byte
// choosing the reader, then its text (for the filler, the template's line, then the values).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "kivocom/support.h"
#include "platform/ports/ports_folder_file.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] % 2 == 0) {
    const std::string path = kivocom::DevicePathInPortsFile(text);
    Require(path.find('\n') == std::string::npos);
    Require(path.empty() || (!IsBlank(path.front()) && !IsBlank(path.back())));
    Require(text.find(path) != std::string_view::npos);
    return 0;
  }
  const std::size_t lf = text.find('\n');
  const std::string templ(text.substr(0, lf));
  const std::string values(lf == std::string_view::npos ? std::string_view() : text.substr(lf + 1));
  const std::string filled = kivocom::FillTemplate(templ, values);
  std::size_t tildes = 0;
  for (char c : templ) tildes += c == '~';
  Require(filled.size() <= templ.size() - tildes + tildes * values.size());
  if (tildes == 0) Require(filled == templ);
  return 0;
}

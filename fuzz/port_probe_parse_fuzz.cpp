// SPDX-License-Identifier: MIT
// Fuzzes the port probe's readers of what the system shows: the tty driver table, the lock table,
// lock files, the console lists, device-tree attribute text and USB attributes. Input: one byte
// choosing the reader, then the text it reads. Every reader must accept anything.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/ports/posix/port_probe_parse.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

std::string_view TakeLine(std::string_view& input) {
  const std::size_t lf = input.find('\n');
  const std::string_view line = input.substr(0, lf);
  input = lf == std::string_view::npos ? std::string_view() : input.substr(lf + 1);
  return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace kivocom::probe;
  if (size == 0) return 0;
  std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 6) {
    case 0: {
      const auto drivers = ParseTtyDrivers(text);
      for (const auto& driver : drivers) FindTtyDriver(drivers, driver.major, driver.minorFirst);
      break;
    }
    case 1: ParseProcLocks(text); break;
    case 2: {
      const auto pid = ParseLockFilePid(text);
      Require(!pid || *pid > 0);
      break;
    }
    case 3: {
      const std::string_view consoles = TakeLine(text);
      for (const std::string& name : ParseConsoleNames(consoles, text)) Require(!name.empty());
      break;
    }
    case 4: {
      const std::string shown = SysfsText(text);
      Require(shown.size() <= text.size());
      break;
    }
    case 5: {
      UsbAttributes attributes;
      attributes.idVendor = TakeLine(text);
      attributes.idProduct = TakeLine(text);
      attributes.serial = TakeLine(text);
      attributes.manufacturer = TakeLine(text);
      attributes.product = text;
      UsbAdapterFrom(attributes);
      LockFileNames(attributes.idVendor, attributes.idProduct);
      break;
    }
  }
  return 0;
}

// SPDX-License-Identifier: MIT
// Reading the line settings text.
#include "platform/line/serial_settings_text.h"

#include <array>
#include <cctype>
#include <vector>

#include "kivocom/error.h"

namespace kivocom {
namespace {

constexpr std::array<int, 14> kRates = {150,   300,   600,    1200,   2400,   4800,   9600,
                                        19200, 38400, 57600, 115200, 230400, 460800, 921600};

constexpr const char* kExpectedForm =
    "a settings text is rate,parity,data bits,stop bits, such as 9600,N,8,1";

std::vector<std::string> SplitFields(const std::string& text) {
  std::vector<std::string> fields(1);
  for (char c : text) {
    if (c == ',')
      fields.emplace_back();
    else
      fields.back() += c;
  }
  return fields;
}

[[noreturn]] void Refuse(const std::string& text, const std::string& source, const std::string& reason) {
  throw Error(kErrInvalidPropertyValue, source,
              "Invalid line settings \"" + text + "\": " + reason + "; " + kExpectedForm + ".");
}

int ParseRate(const std::string& field) {
  for (int rate : kRates)
    if (field == std::to_string(rate)) return rate;
  return 0;
}

std::string RateList() {
  std::string list;
  for (int rate : kRates) list += (list.empty() ? "" : ", ") + std::to_string(rate);
  return list;
}

char ParseParity(const std::string& field) {
  if (field.size() != 1) return 0;
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(field[0])));
  return std::string("NEOMS").find(letter) == std::string::npos ? 0 : letter;
}

int ParseDataBits(const std::string& field) {
  if (field.size() != 1 || field[0] < '4' || field[0] > '8') return 0;
  return field[0] - '0';
}

bool ParseStopBits(const std::string& field, StopBits& stopBits) {
  if (field == "1") stopBits = StopBits::One;
  else if (field == "1.5") stopBits = StopBits::OneAndHalf;
  else if (field == "2") stopBits = StopBits::Two;
  else return false;
  return true;
}

}  // namespace

int LineSettings::BitsPerCharacter() const {
  const int stop = stopBits == StopBits::One ? 1 : 2;
  return 1 + dataBits + (parity == 'N' ? 0 : 1) + stop;
}

LineSettings ParseLineSettings(const std::string& text, const std::string& source) {
  const std::vector<std::string> fields = SplitFields(text);
  if (fields.size() != 4) Refuse(text, source, "it has " + std::to_string(fields.size()) + " fields, not 4");
  LineSettings settings;
  settings.baud = ParseRate(fields[0]);
  if (settings.baud == 0) Refuse(text, source, "the rate \"" + fields[0] + "\" is not one of " + RateList());
  settings.parity = ParseParity(fields[1]);
  if (settings.parity == 0) Refuse(text, source, "the parity \"" + fields[1] + "\" is not N, E, O, M or S");
  settings.dataBits = ParseDataBits(fields[2]);
  if (settings.dataBits == 0) Refuse(text, source, "the data bits \"" + fields[2] + "\" are not 4 to 8");
  if (!ParseStopBits(fields[3], settings.stopBits))
    Refuse(text, source, "the stop bits \"" + fields[3] + "\" are not 1, 1.5 or 2");
  return settings;
}

}  // namespace kivocom

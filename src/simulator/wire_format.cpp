// SPDX-License-Identifier: MIT
#include "simulator/wire_format.h"

namespace kivocom {
namespace {

[[noreturn]] void RaiseMalformed(const std::string& what) {
  throw Error(kErrReadingDevice, "InstrumentSimulator - Host",
              "The simulator host sent a malformed message (" + what +
                  "): run the host built from the same sources as the program.");
}

}  // namespace

WireWriter& WireWriter::U8(uint8_t value) {
  bytes_.push_back(static_cast<char>(value));
  return *this;
}

WireWriter& WireWriter::Unsigned(uint64_t value, int size) {
  for (int i = 0; i < size; ++i) bytes_.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  return *this;
}

WireWriter& WireWriter::Text(std::string_view text) {
  U32(static_cast<uint32_t>(text.size()));
  bytes_.append(text);
  return *this;
}

WireWriter& WireWriter::OptionalText(const std::optional<std::string>& text) {
  Bool(text.has_value());
  if (text) Text(*text);
  return *this;
}

WireWriter& WireWriter::TextMap(const std::map<std::string, std::string>& map) {
  U32(static_cast<uint32_t>(map.size()));
  for (const auto& [key, value] : map) Text(key).Text(value);
  return *this;
}

std::string_view WireReader::Take(std::size_t count) {
  if (count > bytes_.size() - position_) RaiseMalformed("it ends inside a field");
  const std::string_view taken = bytes_.substr(position_, count);
  position_ += count;
  return taken;
}

uint8_t WireReader::U8() { return static_cast<uint8_t>(Take(1)[0]); }

bool WireReader::Bool() {
  const uint8_t value = U8();
  if (value > 1) RaiseMalformed("a truth value of " + std::to_string(value));
  return value == 1;
}

uint64_t WireReader::Unsigned(int size) {
  const std::string_view field = Take(static_cast<std::size_t>(size));
  uint64_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(field[static_cast<std::size_t>(i)]);
  return value;
}

std::string WireReader::Text() {
  const uint32_t length = U32();
  return std::string(Take(length));
}

std::optional<std::string> WireReader::OptionalText() {
  if (!Bool()) return std::nullopt;
  return Text();
}

std::map<std::string, std::string> WireReader::TextMap() {
  std::map<std::string, std::string> map;
  for (uint32_t count = U32(); count > 0; --count) {
    std::string key = Text();
    map[std::move(key)] = Text();
  }
  return map;
}

std::string FramedMessage(const std::string& payload) {
  WireWriter length;
  length.U32(static_cast<uint32_t>(payload.size()));
  return length.Bytes() + payload;
}

uint32_t AnnouncedLength(const char (&field)[kLengthFieldSize]) {
  const uint32_t length = WireReader(std::string_view(field, kLengthFieldSize)).U32();
  if (length > kLongestMessage) {
    throw Error(kErrReadingDevice, "InstrumentSimulator - Host",
                "The simulator host's connection announced a message of " + std::to_string(length) +
                    " bytes: it is not a simulator host, or not one built from the same sources.");
  }
  return length;
}

std::string ErrorReply(const Error& error) {
  WireWriter writer;
  writer.U8(kReplyError).I32(error.Number()).Text(error.Source()).Text(error.Description());
  return writer.Bytes();
}

WireReader OpenReply(const std::string& reply) {
  WireReader reader(reply);
  if (reader.U8() == kReplyOk) return reader;
  const int32_t number = reader.I32();
  std::string source = reader.Text();
  throw Error(number, std::move(source), reader.Text());
}

}  // namespace kivocom

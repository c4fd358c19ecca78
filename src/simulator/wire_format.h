// SPDX-License-Identifier: MIT
// The encoding of the simulator host's messages (see host_protocol.h for what they carry).
//
// Every message is a 32-bit length and that many bytes. Fields: fixed-size integers in
// little-endian order, truth values as one byte 0 or 1, texts as a 32-bit length and their bytes
// as they are (any byte, NUL included), optional texts as a truth value and the text when present,
// text maps as a 32-bit count and their pairs of texts. A reply is a status byte, then the
// results (kReplyOk) or the error's number, source and description (kReplyError).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "kivocom/error.h"

namespace kivocom {

// Appends fields to a message.
class WireWriter {
 public:
  WireWriter& U8(uint8_t value);
  WireWriter& Bool(bool value) { return U8(value ? 1 : 0); }
  WireWriter& I32(int32_t value) { return Unsigned(static_cast<uint32_t>(value), 4); }
  WireWriter& U32(uint32_t value) { return Unsigned(value, 4); }
  WireWriter& I64(int64_t value) { return Unsigned(static_cast<uint64_t>(value), 8); }
  WireWriter& U64(uint64_t value) { return Unsigned(value, 8); }
  WireWriter& Text(std::string_view text);
  WireWriter& OptionalText(const std::optional<std::string>& text);
  WireWriter& TextMap(const std::map<std::string, std::string>& map);

  // The message so far.
  const std::string& Bytes() const { return bytes_; }

 private:
  WireWriter& Unsigned(uint64_t value, int size);
  std::string bytes_;
};

// Takes fields from a message in the order they were written; a message that ends before a field
// does, or a presence or truth byte other than 0 or 1, raises kivocom::Error 8020.
class WireReader {
 public:
  explicit WireReader(std::string_view bytes) : bytes_(bytes) {}

  uint8_t U8();
  bool Bool();
  int32_t I32() { return static_cast<int32_t>(Unsigned(4)); }
  uint32_t U32() { return static_cast<uint32_t>(Unsigned(4)); }
  int64_t I64() { return static_cast<int64_t>(Unsigned(8)); }
  uint64_t U64() { return Unsigned(8); }
  std::string Text();
  std::optional<std::string> OptionalText();
  std::map<std::string, std::string> TextMap();

  // Whether every byte has been taken.
  bool AtEnd() const { return position_ == bytes_.size(); }

 private:
  uint64_t Unsigned(int size);
  std::string_view Take(std::size_t count);
  std::string_view bytes_;
  std::size_t position_ = 0;
};

// The size of a message's length field.
inline constexpr std::size_t kLengthFieldSize = 4;
// The longest message either side accepts; a longer length means the stream is not this protocol.
inline constexpr uint32_t kLongestMessage = 64u << 20;

// `payload` with its length field in front.
std::string FramedMessage(const std::string& payload);
// The length a message's first kLengthFieldSize bytes announce; raises kivocom::Error 8020 when
// it exceeds kLongestMessage.
uint32_t AnnouncedLength(const char (&field)[kLengthFieldSize]);

inline constexpr uint8_t kReplyOk = 0;
inline constexpr uint8_t kReplyError = 1;

// An error reply carrying `error`'s number, source and description.
std::string ErrorReply(const Error& error);
// The reply `reply` with its status taken: a reader at the results (over `reply`, which must
// outlive it) for kReplyOk; raises the error it carries for kReplyError.
WireReader OpenReply(const std::string& reply);

}  // namespace kivocom

// SPDX-License-Identifier: MIT
// The last step of the type library's build, run on the build machine:
//   empty_text_defaults TYPELIB
// widl refuses a text default on a by-reference text, so the copy of the IDL that it compiles gives
// such a parameter a null default (widl_source.cmake), which widl packs into the parameter's default
// slot as a null text. This step points each such slot at an empty-text default the library already
// holds (those of the by-value texts), as type library writers share equal defaults; the parameter
// then reads back with the empty text as its default. The file is rewritten in place; a file this
// step does not understand stops the build with a message.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// The compiled type library's layout (the "MSFT" format), as far as this step reads it: a header,
// the offsets of the type descriptions, a directory of fifteen segments, the segments, then the
// member records of each type description.
constexpr std::uint32_t kMagic = 0x5446534D;  // "MSFT"
constexpr std::size_t kHeaderSize = 0x54;
constexpr std::size_t kFlagsAt = 0x14;
constexpr std::size_t kTypeCountAt = 0x20;
constexpr std::uint32_t kHelpDllFlag = 0x100;  // a help DLL's name follows the header
constexpr std::size_t kSegmentEntrySize = 16;  // offset, length and two reserved words
constexpr std::size_t kTypeSegment = 0;
constexpr std::size_t kCustomDataSegment = 11;  // defaults and custom data
constexpr std::size_t kTypeSize = 0x64;
constexpr std::size_t kTypeRecordsAt = 0x04;
constexpr std::size_t kTypeElementsAt = 0x18;  // functions in the low word
// A function record: its length in the low word of the first field, its flags at 0x10 and its
// parameter count at 0x14; when it has defaults, the record ends with one default slot per
// parameter followed by the parameters' descriptions.
constexpr std::size_t kFunctionFlagsAt = 0x10;
constexpr std::size_t kParameterCountAt = 0x14;
constexpr std::size_t kFunctionFixedSize = 0x18;
constexpr std::uint32_t kHasDefaults = 0x1000;
constexpr std::size_t kParameterSize = 12;
// A default slot holds either a packed value (top bit set: the type in bits 26-30, the value below)
// or the offset of a record in the custom data segment: the type (16 bits), then for a text its
// length (32 bits) and its characters.
constexpr std::uint32_t kPacked = 0x80000000;
constexpr std::uint16_t kText = 8;  // VT_BSTR
constexpr std::uint32_t kPackedNullText = kPacked | (std::uint32_t{kText} << 26);

class Library {
 public:
  explicit Library(std::vector<unsigned char> bytes) : bytes_(std::move(bytes)) {
    if (U32(0) != kMagic) throw std::runtime_error("not a compiled type library");
  }

  const std::vector<unsigned char>& Bytes() const { return bytes_; }

  // The file offsets of every parameter's default slot, over all type descriptions.
  std::vector<std::size_t> DefaultSlots() const {
    std::vector<std::size_t> slots;
    const std::size_t types = U32(kTypeCountAt);
    for (std::size_t t = 0; t < types; ++t) {
      const std::size_t type = Segment(kTypeSegment).offset + t * kTypeSize;
      AddFunctionSlots(U32(type + kTypeRecordsAt), U32(type + kTypeElementsAt) & 0xFFFF, slots);
    }
    return slots;
  }

  // True when the default slot's value is the offset of an empty text.
  bool IsEmptyText(std::uint32_t value) const {
    if (value & kPacked) return false;
    const SegmentEntry data = Segment(kCustomDataSegment);
    if (value + std::size_t{6} > data.length) throw std::runtime_error("a default lies outside its segment");
    return U16(data.offset + value) == kText && U32(data.offset + value + 2) == 0;
  }

  std::uint32_t U32(std::size_t at) const {
    Need(at, 4);
    return bytes_[at] | bytes_[at + 1] << 8 | bytes_[at + 2] << 16 | std::uint32_t{bytes_[at + 3]} << 24;
  }

  void SetU32(std::size_t at, std::uint32_t value) {
    Need(at, 4);
    for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<unsigned char>(value >> (8 * i));
  }

 private:
  struct SegmentEntry {
    std::size_t offset;
    std::size_t length;
  };

  std::uint16_t U16(std::size_t at) const {
    Need(at, 2);
    return static_cast<std::uint16_t>(bytes_[at] | bytes_[at + 1] << 8);
  }

  void Need(std::size_t at, std::size_t count) const {
    if (at > bytes_.size() || count > bytes_.size() - at) throw std::runtime_error("the file is cut short");
  }

  SegmentEntry Segment(std::size_t index) const {
    const std::size_t directory = kHeaderSize + ((U32(kFlagsAt) & kHelpDllFlag) ? 4 : 0) + 4 * U32(kTypeCountAt);
    const std::size_t entry = directory + index * kSegmentEntrySize;
    return {U32(entry), U32(entry + 4)};
  }

  // The member records follow a length word; functions come first, one record after the other.
  void AddFunctionSlots(std::size_t records, std::size_t functions, std::vector<std::size_t>& slots) const {
    std::size_t record = records + 4;
    for (std::size_t f = 0; f < functions; ++f) {
      const std::size_t length = U32(record) & 0xFFFF;
      const std::size_t parameters = U32(record + kParameterCountAt) & 0xFFFF;
      const bool hasDefaults = U32(record + kFunctionFlagsAt) & kHasDefaults;
      const std::size_t tail = parameters * (kParameterSize + (hasDefaults ? 4 : 0));
      if (length < kFunctionFixedSize + tail) throw std::runtime_error("a function record is too short");
      Need(record, length);
      if (hasDefaults) {
        const std::size_t first = record + length - tail;
        for (std::size_t p = 0; p < parameters; ++p) slots.push_back(first + 4 * p);
      }
      record += length;
    }
  }

  std::vector<unsigned char> bytes_;
};

std::vector<unsigned char> ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot be read");
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const char* path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) throw std::runtime_error("cannot be written");
}

// Points every null-text default at an empty text the library holds; the count of slots changed.
std::size_t ShareEmptyText(Library& library) {
  const std::vector<std::size_t> slots = library.DefaultSlots();
  std::optional<std::uint32_t> emptyText;
  std::vector<std::size_t> nullTexts;
  for (std::size_t slot : slots) {
    const std::uint32_t value = library.U32(slot);
    if (value == kPackedNullText) nullTexts.push_back(slot);
    if (!emptyText && library.IsEmptyText(value)) emptyText = value;
  }
  if (!nullTexts.empty() && !emptyText)
    throw std::runtime_error("a by-reference text has an empty default, but no other parameter has one to share");
  for (std::size_t slot : nullTexts) library.SetU32(slot, *emptyText);
  return nullTexts.size();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: empty_text_defaults TYPELIB\n");
    return 2;
  }
  try {
    Library library(ReadFile(argv[1]));
    if (ShareEmptyText(library) > 0) WriteFile(argv[1], library.Bytes());
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "empty_text_defaults: %s: %s\n", argv[1], e.what());
    return 1;
  }
}

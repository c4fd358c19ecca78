// SPDX-License-Identifier: MIT
// Finding and editing values in the text of a settings file, one line at a time.
#include "kivoini/kivo_ini_document.h"

#include <cstddef>
#include <initializer_list>

namespace kivocom {
namespace {

enum class LineKind { Blank, Comment, Header, Entry, Other };

// One line of the text, as offsets into it.
struct IniLine {
  std::size_t end = 0;   // where its line end (LF or CR LF) starts, or the end of the text
  std::size_t next = 0;  // where the next line starts
  LineKind kind = LineKind::Other;
  std::string_view name;                     // the section of a header, the key of an entry
  std::size_t valueBegin = 0, valueEnd = 0;  // the trimmed value of an entry
};

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

// Sorts the line's content (from `from` to `line.end`) into its kind, name and value.
void ClassifyLine(std::string_view text, std::size_t from, IniLine& line) {
  std::size_t first = from;
  while (first < line.end && IsBlank(text[first])) ++first;
  const std::string_view content = text.substr(first, line.end - first);
  if (content.empty()) {
    line.kind = LineKind::Blank;
  } else if (content[0] == ';' || content[0] == '#') {
    line.kind = LineKind::Comment;
  } else if (content[0] == '[') {
    const std::size_t close = content.find(']');
    if (close == std::string_view::npos) return;
    line.kind = LineKind::Header;
    line.name = TrimIniBlanks(content.substr(1, close - 1));
  } else if (const std::size_t equals = content.find('='); equals != std::string_view::npos) {
    const std::string_view key = TrimIniBlanks(content.substr(0, equals));
    if (key.empty()) return;
    line.kind = LineKind::Entry;
    line.name = key;
    std::size_t valueBegin = first + equals + 1;
    std::size_t valueEnd = line.end;
    while (valueBegin < valueEnd && IsBlank(text[valueBegin])) ++valueBegin;
    while (valueEnd > valueBegin && IsBlank(text[valueEnd - 1])) --valueEnd;
    line.valueBegin = valueBegin;
    line.valueEnd = valueEnd;
  }
}

IniLine ReadLine(std::string_view text, std::size_t begin) {
  IniLine line;
  const std::size_t lf = text.find('\n', begin);
  if (lf == std::string_view::npos) {
    line.end = line.next = text.size();
  } else {
    line.next = lf + 1;
    line.end = (lf > begin && text[lf - 1] == '\r') ? lf - 1 : lf;
  }
  const bool markFirst = begin == 0 && text.substr(0, line.end).starts_with(kByteOrderMark);
  ClassifyLine(text, markFirst ? kByteOrderMark.size() : begin, line);
  return line;
}

// Calls `visit(line)` for each line in order until it returns true.
template <class Visit>
void ForEachLine(std::string_view text, Visit&& visit) {
  for (std::size_t pos = 0; pos < text.size();) {
    const IniLine line = ReadLine(text, pos);
    if (visit(line)) return;
    pos = line.next;
  }
}

// The line end that new lines get: the one the text's first line has.
std::string_view LineEndOf(std::string_view text) {
  const std::size_t lf = text.find('\n');
  return (lf != std::string_view::npos && lf > 0 && text[lf - 1] == '\r') ? "\r\n" : "\n";
}

std::string Joined(std::initializer_list<std::string_view> parts) {
  std::size_t size = 0;
  for (std::string_view part : parts) size += part.size();
  std::string result;
  result.reserve(size);
  for (std::string_view part : parts) result.append(part);
  return result;
}

std::string ProblemWithCharacters(std::string_view text, std::string_view forbidden, const char* what) {
  for (char c : text) {
    if (forbidden.find(c) == std::string_view::npos) continue;
    if (c == '\r' || c == '\n') return std::string(what) + " holds a line break";
    if (c == '\0') return std::string(what) + " holds a NUL character";
    return std::string(what) + " holds \"" + c + "\"";
  }
  return {};
}

// Where a value for `key` in `section` goes: the entry to change, or else after the last header,
// entry or other line of the first section of that name, or else at the end of the text.
struct EntryPlace {
  std::optional<IniLine> existing;
  std::optional<IniLine> lastOfSection;
  bool lastLineBlank = true;  // whether the text ends with a blank line (or is empty)
};

EntryPlace FindEntryPlace(std::string_view text, std::string_view section, std::string_view key) {
  EntryPlace place;
  bool inSection = false, inFirstSection = false;
  ForEachLine(text, [&](const IniLine& line) {
    if (line.kind == LineKind::Header) {
      inSection = SameName(line.name, section);
      inFirstSection = inSection && !place.lastOfSection;
    } else if (line.kind == LineKind::Entry && inSection && SameName(line.name, key)) {
      place.existing = line;
      return true;
    }
    if (inFirstSection && line.kind != LineKind::Blank && line.kind != LineKind::Comment)
      place.lastOfSection = line;
    place.lastLineBlank = line.kind == LineKind::Blank;
    return false;
  });
  return place;
}

// Characters that would break the line structure, or end the name early, if written.
constexpr std::string_view kSectionForbidden{"]\r\n\0", 4};
constexpr std::string_view kKeyForbidden{"=\r\n\0", 4};
constexpr std::string_view kValueForbidden{"\r\n\0", 3};

}  // namespace

std::string_view TrimIniBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::optional<std::string_view> FindIniValue(std::string_view text, std::string_view section,
                                             std::string_view key) {
  section = TrimIniBlanks(section);
  key = TrimIniBlanks(key);
  std::optional<std::string_view> found;
  bool inSection = false;
  ForEachLine(text, [&](const IniLine& line) {
    if (line.kind == LineKind::Header) inSection = SameName(line.name, section);
    if (line.kind != LineKind::Entry || !inSection || !SameName(line.name, key)) return false;
    found = text.substr(line.valueBegin, line.valueEnd - line.valueBegin);
    return true;
  });
  return found;
}

std::string SetIniValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value) {
  section = TrimIniBlanks(section);
  key = TrimIniBlanks(key);
  value = TrimIniBlanks(value);
  const EntryPlace place = FindEntryPlace(text, section, key);
  if (place.existing)
    return Joined({text.substr(0, place.existing->valueBegin), value, text.substr(place.existing->valueEnd)});
  const std::string_view eol = LineEndOf(text);
  if (const auto& last = place.lastOfSection) {
    if (last->next > last->end)
      return Joined({text.substr(0, last->next), key, "=", value, eol, text.substr(last->next)});
    return Joined({text, eol, key, "=", value});
  }
  const std::string_view finishLastLine = (text.empty() || text.back() == '\n') ? "" : eol;
  const std::string_view separator = place.lastLineBlank ? "" : eol;
  return Joined({text, finishLastLine, separator, "[", section, "]", eol, key, "=", value, eol});
}

std::string IniSectionProblem(std::string_view section) {
  if (TrimIniBlanks(section).empty()) return "the section name is blank";
  return ProblemWithCharacters(section, kSectionForbidden, "the section name");
}

std::string IniKeyProblem(std::string_view key) {
  const std::string_view name = TrimIniBlanks(key);
  if (name.empty()) return "the key is blank";
  if (name[0] == '[' || name[0] == ';' || name[0] == '#')
    return std::string("the key starts with \"") + name[0] + "\"";
  return ProblemWithCharacters(key, kKeyForbidden, "the key");
}

std::string IniValueProblem(std::string_view value) {
  return ProblemWithCharacters(value, kValueForbidden, "the value");
}

}  // namespace kivocom

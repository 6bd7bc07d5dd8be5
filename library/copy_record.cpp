#include "library/copy_record.h"

#include "command/safe_write.h"

#include <cinttypes>
#include <cstdio>
#include <sstream>

namespace {

constexpr char RECORD_HEADER[] = "sorabun copies 1 ";
constexpr char RECORD_END[] = "end ";
// Far more than any stick's copies take; a larger file is no record.
constexpr uint64_t RECORD_SIZE_AT_MOST = 64 << 20;

void appendEscaped(const std::string &text, std::string &out) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (byte < 0x20 || byte == 0x7F) {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
}

int hexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  return -1;
}

// False for a stray backslash or a raw control byte.
bool unescape(const std::string &text, std::string *out) {
  out->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (static_cast<unsigned char>(c) < 0x20)
      return false;
    if (c != '\\') {
      *out += c;
      continue;
    }
    const char next = i + 1 < text.size() ? text[++i] : '\0';
    if (next == '\\' || next == 't' || next == 'n' || next == 'r') {
      *out += next == '\\' ? '\\' : next == 't' ? '\t' : next == 'n' ? '\n' : '\r';
    } else if (next == 'x' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
               hexValue(text[i + 2]) >= 0) {
      *out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
      i += 2;
    } else {
      return false;
    }
  }
  return true;
}

// A number of digits only (a '-' before a signed one), in base 10 or 16.
bool parseNumber(const std::string &text, int base, bool isSigned, uint64_t *value) {
  const bool negative = isSigned && !text.empty() && text[0] == '-';
  const std::string digits = negative ? text.substr(1) : text;
  if (digits.empty() || digits.size() > 20)
    return false;
  uint64_t number = 0;
  for (const char c : digits) {
    const int digit = hexValue(c);
    if (digit < 0 || digit >= base)
      return false;
    number = number * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
  }
  *value = negative ? ~number + 1 : number;
  return true;
}

// One copy's line, without its LF.
bool parseLine(const std::string &line, CopyRecord *record) {
  const size_t tab = line.find('\t');
  const size_t first = line.find(' ');
  const size_t second = line.find(' ', first + 1);
  const size_t third = second == std::string::npos ? second : line.find(' ', second + 1);
  if (tab == std::string::npos || third == std::string::npos || third > tab)
    return false;
  uint64_t hash = 0;
  uint64_t size = 0;
  uint64_t time = 0;
  std::string name;
  std::string source;
  if (first != 16 || !parseNumber(line.substr(0, first), 16, false, &hash) ||
      !parseNumber(line.substr(first + 1, second - first - 1), 10, false, &size) ||
      !parseNumber(line.substr(second + 1, third - second - 1), 10, true, &time) ||
      !unescape(line.substr(third + 1, tab - third - 1), &name) || name.empty() ||
      !unescape(line.substr(tab + 1), &source))
    return false;
  return record->emplace(name, RecordedCopy{size, static_cast<int64_t>(time), hash, source}).second;
}

} // namespace

std::string copyRecordText(const CopyRecord &record) {
  std::string text = RECORD_HEADER + std::to_string(TIME_UNITS_PER_SECOND) + "\n";
  for (const auto &[name, copy] : record) {
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "%016" PRIx64 " %" PRIu64 " %" PRId64 " ", copy.hash,
                  copy.size, copy.lastWriteTime);
    text += numbers;
    appendEscaped(name, text);
    text += '\t';
    appendEscaped(copy.source, text);
    text += '\n';
  }
  return text + RECORD_END + std::to_string(record.size()) + "\n";
}

bool parseCopyRecord(const std::string &text, CopyRecord *record) {
  record->clear();
  std::istringstream lines(text);
  std::string line;
  bool ended = false;
  bool whole =
      std::getline(lines, line) && line == RECORD_HEADER + std::to_string(TIME_UNITS_PER_SECOND);
  while (whole && !ended && std::getline(lines, line)) {
    if (line.compare(0, sizeof RECORD_END - 1, RECORD_END) == 0) {
      ended = line.substr(sizeof RECORD_END - 1) == std::to_string(record->size());
      whole = ended;
    } else {
      whole = parseLine(line, record);
    }
  }
  // Nothing after the end, and every line ended.
  whole = whole && ended && lines.peek() == std::char_traits<char>::eof() && !text.empty() &&
          text.back() == '\n';
  if (!whole)
    record->clear();
  return whole;
}

CopyRecord readCopyRecord(FolderHandle folder, bool *nameTaken) {
  CopyRecord record;
  FileHandle file = NO_FILE;
  FileState state{};
  const FileProblem opened = openEntry(folder, COPY_RECORD_NAME, &file, &state);
  *nameTaken = opened != FileProblem::None && opened != FileProblem::NotFound;
  if (opened != FileProblem::None)
    return record;
  // What a record of any version begins with: "sorabun copies ".
  const size_t ownPrefix = sizeof RECORD_HEADER - 3;
  std::string text(state.size <= RECORD_SIZE_AT_MOST ? static_cast<size_t>(state.size) : ownPrefix,
                   '\0');
  const bool read =
      state.size >= ownPrefix && readAt(file, 0, reinterpret_cast<uint8_t *>(&text[0]),
                                        static_cast<uint32_t>(text.size())) == FileProblem::None;
  *nameTaken =
      !read || state.linkCount > 1 || text.compare(0, ownPrefix, RECORD_HEADER, ownPrefix) != 0;
  if (!*nameTaken && state.size <= RECORD_SIZE_AT_MOST)
    parseCopyRecord(text, &record);
  closeFile(file);
  return record;
}

FileProblem writeCopyRecord(FolderHandle folder, const CopyRecord &record) {
  const std::string text = copyRecordText(record);
  return writeOwnFile(folder, COPY_RECORD_NAME, reinterpret_cast<const uint8_t *>(text.data()),
                      text.size())
      .problem;
}

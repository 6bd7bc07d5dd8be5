#include "cli/info.h"

#include "cli/progress.h"
#include "cli/run_results.h"
#include "cli/texts.h"
#include "command/file_conversion.h"
#include "command/utf8_text.h"
#include "engine/ansi_text.h"
#include "engine/frame_fields.h"
#include "engine/id3v1.h"
#include "engine/tag_layout.h"
#include "engine/text_values.h"
#include "engine/unicode.h"
#include "library/file_list.h"
#include "library/text_marks.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t TEXT_COLUMNS = 48; // of a frame's text on its line

struct FrameView {
  std::string identifier;
  uint32_t size;
  int encoding;      // -1: the frame has none, or its data is stored transformed
  bool hasText;      // text holds what the frame says
  std::string text;  // UTF-8, not escaped, values separated by " / "
  std::string shown; // the text as its line shows it: cut to fit, escaped
  bool unsynchronised;
  bool wideText;      // encoding 1 to 3
  bool droppedValues; // a version 2.3 text frame's values after the first, which players drop
};

struct FileView {
  std::string path; // as given, not escaped
  PathReport report;
  bool hasTag;
  std::string version;
  TagHeaderFlags flags;
  uint32_t size;
  uint32_t padding;
  std::vector<FrameView> frames;
  bool hasId3v1;
  Id3v1Shown id3v1;
  int id3v1Genre; // -1: none
  MisreadCounts misreads;
};

bool isWideText(int encoding) {
  return encoding >= TEXT_ENCODING_UTF16 && encoding <= TEXT_ENCODING_UTF8;
}

// Terminals give East Asian characters two columns; counting every
// character from U+1100 up as two is near enough for cutting a line.
size_t columnsOf(char16_t unit) {
  return unit >= 0x1100 ? 2 : 1;
}

// units as UTF-8 with the values of a list separated; and, cut to columns,
// as a line shows them.
void showUnits(const char16_t *units, size_t count, bool whole, std::string &text,
               std::string &shown) {
  size_t columns = 0;
  bool cut = !whole;
  std::string shownText;
  for (size_t i = 0; i < count; ++i) {
    const bool surrogatePair = i + 1 < count && isHighSurrogate(units[i]);
    const size_t length = surrogatePair ? 2 : 1;
    std::string piece;
    if (units[i] == 0)
      piece = VALUE_SEPARATOR;
    else
      appendUtf16AsUtf8(units + i, length, piece);
    text += piece;
    columns += units[i] == 0 ? sizeof VALUE_SEPARATOR - 1 : columnsOf(units[i]);
    if (columns <= TEXT_COLUMNS)
      shownText += piece;
    else
      cut = true;
    i += length - 1;
  }
  shown = escapeControls(shownText) + (cut ? ELLIPSIS : "");
}

// A frame as its line shows it: its encoding when the frame table gives it
// one, and its strings (a picture's description, a comment's description
// and text...) separated by " / ".
FrameView frameView(const TagRecord &record, const TagFrame &frame, FileImage region) {
  FrameView view{frame.identifier, frame.data.length, -1, false, "", "", false, false, false};
  view.unsynchronised = frame.unsynchronised;
  FrameStrings strings;
  readFrameStrings(region, record, frame, strings);
  if (strings.split == FrameSplit::NoStrings || strings.split == FrameSplit::Transformed)
    return view;
  view.encoding = strings.encoding;
  view.wideText = isWideText(view.encoding);
  if (strings.split != FrameSplit::Split)
    return view;
  static char16_t units[UNITS_SHOWN];
  size_t count = 0;
  bool whole = true;
  for (const FrameString &string : strings.strings) {
    // Strings after the first follow a zero unit, shown as the separator
    // of values; empty ones are left out.
    const size_t separator = count > 0 ? 1 : 0;
    if (count + separator >= UNITS_SHOWN)
      continue;
    size_t written = 0;
    // Values that players drop are shown all the same, and marked.
    const bool dropsValues = string.shownLength < string.length;
    view.droppedValues = view.droppedValues || dropsValues;
    whole =
        decodeFrameText(string.text, string.length, strings.encoding, string.isList || dropsValues,
                        units + count + separator, UNITS_SHOWN - count - separator, written) &&
        whole;
    if (written > 0 && separator > 0)
      units[count] = 0;
    count += written > 0 ? separator + written : 0;
  }
  view.hasText = true;
  showUnits(units, count, whole, view.text, view.shown);
  return view;
}

void describeTag(FileView &view, FileImage region, const TagRecord &record) {
  view.hasTag = true;
  view.version = tagVersionName(record.majorVersion, record.revision);
  view.flags = record.flags;
  view.size = record.tagEnd + record.footer.length;
  view.padding = record.padding.length;
  if (record.flags.unsynchronisation)
    ++view.misreads.unsynchronised;
  if (record.majorVersion == 4)
    ++view.misreads.version4;
  for (const TagFrame &frame : record.frames) {
    view.frames.push_back(frameView(record, frame, region));
    if (view.frames.back().wideText)
      ++view.misreads.wideTexts;
    if (view.frames.back().droppedValues)
      ++view.misreads.droppedValues;
    if (view.frames.back().unsynchronised)
      ++view.misreads.unsynchronised;
  }
}

std::string decodedField(const uint8_t *field, size_t size) {
  const void *zero = std::memchr(field, 0, size);
  const size_t length =
      zero == nullptr ? size : static_cast<size_t>(static_cast<const uint8_t *>(zero) - field);
  char16_t units[ID3V1_TEXT_SIZE + 2];
  const size_t count = decodeCp932(field, length, units, sizeof units / sizeof units[0]);
  std::string text;
  appendUtf16AsUtf8(units, count, text);
  return text;
}

// The ID3v1 tag as a player that reads code page 932 shows it, and how it
// differs from the one the ID3v2 tag gives.
void describeId3v1(FileView &view, FileImage region, const TagRecord &record, const uint8_t *tag) {
  Id3v1Tag fields;
  std::memcpy(&fields, tag, sizeof fields);
  view.hasId3v1 = true;
  Id3v1Shown &shown = view.id3v1;
  shown.title = decodedField(fields.title, sizeof fields.title);
  shown.artist = decodedField(fields.artist, sizeof fields.artist);
  shown.album = decodedField(fields.album, sizeof fields.album);
  shown.year = decodedField(fields.year, sizeof fields.year);
  // Version 1.0 has no track: its comment takes the two bytes.
  const bool hasTrack = fields.trackMarker == 0;
  shown.comment =
      decodedField(tag + offsetof(Id3v1Tag, comment), ID3V1_COMMENT_SIZE + (hasTrack ? 0 : 2));
  shown.track = hasTrack ? fields.track : 0;
  const char *genre = genreName(fields.genre);
  view.id3v1Genre = fields.genre == ID3V1_NO_GENRE ? -1 : fields.genre;
  shown.genre = genre == nullptr
                    ? (fields.genre == ID3V1_NO_GENRE ? "" : std::to_string(fields.genre))
                    : std::to_string(fields.genre) + " (" + genre + ")";
  // Compared whatever the checks of the ID3v2 tag said, as --info always
  // has: the frames the walk found.
  if (region.length > 0) {
    uint8_t fromTag[ID3V1_TAG_SIZE];
    buildId3v1TagFor(region, record, TextSettings{false}, fromTag);
    shown.differences = id3v1Differences(tag, fromTag);
  }
  if (shown.differences != 0)
    ++view.misreads.id3v1Disagrees;
}

// The tags of a file whose conversion examined them, from the walk it made;
// the report set instead when the end of the file cannot be read.
void describeTags(FileView &view, FileConversion &conversion) {
  uint8_t id3v1[ID3V1_TAG_SIZE];
  bool present = false;
  const FileProblem problem = readExistingId3v1(conversion, id3v1, present);
  if (problem != FileProblem::None) {
    conversion.report.outcome = PathOutcome::CannotRead;
    conversion.report.problem = problem;
    return;
  }
  const FileImage region{conversion.before,
                         conversion.before == nullptr ? 0 : conversion.regionLength};
  if (region.length > 0)
    describeTag(view, region, conversion.record);
  if (present)
    describeId3v1(view, region, conversion.record, id3v1);
}

// ---- JSON ------------------------------------------------------------------

// JSON text in ASCII alone: every other character as \uXXXX (a surrogate
// pair above U+FFFF), so that it stays valid whatever code page the Windows
// console converts it to (code page 932 turns the yen sign into a
// backslash).
void appendJsonString(const std::string &text, std::string &out) {
  out += '"';
  size_t i = 0;
  while (i < text.size()) {
    const Utf8Character c = utf8CharacterAt(text, i);
    char escaped[16];
    if (c.length == 0) {
      // A byte that makes no character (a name is bytes on POSIX systems).
      std::snprintf(escaped, sizeof escaped, "\\\\x%02X", static_cast<uint8_t>(text[i]));
      out += escaped;
      ++i;
      continue;
    }
    if (c.codePoint == '"' || c.codePoint == '\\') {
      out += '\\';
      out += static_cast<char>(c.codePoint);
    } else if (c.codePoint >= 0x20 && c.codePoint < 0x7F) {
      out += static_cast<char>(c.codePoint);
    } else if (c.codePoint >= FIRST_SUPPLEMENTARY_CODE_POINT) {
      std::snprintf(escaped, sizeof escaped, "\\u%04X\\u%04X",
                    static_cast<unsigned>(highSurrogateOf(c.codePoint)),
                    static_cast<unsigned>(lowSurrogateOf(c.codePoint)));
      out += escaped;
    } else {
      std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c.codePoint));
      out += escaped;
    }
    i += c.length;
  }
  out += '"';
}

std::string jsonString(const std::string &text) {
  std::string out;
  appendJsonString(text, out);
  return out;
}

const char *conversionName(PathOutcome outcome) {
  switch (outcome) {
  case PathOutcome::WouldConvert:
    return "would-convert";
  case PathOutcome::AlreadyConverted:
    return "already-converted";
  case PathOutcome::NoTag:
    return "no-tag";
  case PathOutcome::Refused:
    return "refused";
  case PathOutcome::Unsupported:
    return "unsupported";
  case PathOutcome::Damaged:
    return "damaged";
  default:
    return "failed";
  }
}

// The header flags, by their fields.
const std::pair<bool TagHeaderFlags::*, const char *> FLAG_KEYS[] = {
    {&TagHeaderFlags::unsynchronisation, "unsynchronisation"},
    {&TagHeaderFlags::extendedHeader, "extended-header"},
    {&TagHeaderFlags::compression, "compression"},
    {&TagHeaderFlags::experimental, "experimental"},
    {&TagHeaderFlags::footer, "footer"},
};

std::string jsonTag(const FileView &view) {
  std::string out = "{\"version\":" + jsonString(view.version) + ",\"flags\":[";
  bool first = true;
  for (const auto &flag : FLAG_KEYS) {
    if (!(view.flags.*flag.first))
      continue;
    out += (first ? "\"" : ",\"") + std::string(flag.second) + "\"";
    first = false;
  }
  return out + "],\"size\":" + std::to_string(view.size) +
         ",\"padding\":" + std::to_string(view.padding) + "}";
}

std::string jsonFrame(const FrameView &frame) {
  std::string out =
      "{\"id\":" + jsonString(frame.identifier) + ",\"size\":" + std::to_string(frame.size) +
      ",\"encoding\":" + (frame.encoding < 0 ? "null" : std::to_string(frame.encoding)) +
      ",\"text\":" + (frame.hasText ? jsonString(frame.text) : "null") + ",\"misread\":[";
  const std::pair<bool, const char *> misreads[] = {
      {frame.wideText, "text-encoding"},
      {frame.unsynchronised, "unsynchronisation"},
      {frame.droppedValues, "dropped-values"},
  };
  bool first = true;
  for (const auto &misread : misreads) {
    if (!misread.first)
      continue;
    out += (first ? "\"" : ",\"") + std::string(misread.second) + "\"";
    first = false;
  }
  return out + "]}";
}

std::string jsonId3v1(const FileView &view) {
  const Id3v1Shown &shown = view.id3v1;
  std::string out =
      "{\"title\":" + jsonString(shown.title) + ",\"artist\":" + jsonString(shown.artist) +
      ",\"album\":" + jsonString(shown.album) + ",\"year\":" + jsonString(shown.year) +
      ",\"comment\":" + jsonString(shown.comment) +
      ",\"track\":" + (shown.track == 0 ? "null" : std::to_string(shown.track)) +
      ",\"genre\":" + (view.id3v1Genre < 0 ? "null" : std::to_string(view.id3v1Genre)) +
      ",\"differs\":[";
  const std::pair<unsigned, const char *> fields[] = {{ID3V1_TITLE, "title"},
                                                      {ID3V1_ARTIST, "artist"},
                                                      {ID3V1_ALBUM, "album"},
                                                      {ID3V1_YEAR, "year"}};
  bool first = true;
  for (const auto &field : fields) {
    if ((shown.differences & field.first) == 0)
      continue;
    out += (first ? "\"" : ",\"") + std::string(field.second) + "\"";
    first = false;
  }
  return out + "]}";
}

std::string jsonLine(const FileView &view) {
  const MisreadCounts &misreads = view.misreads;
  std::string out = "{\"path\":" + jsonString(view.path) + ",\"conversion\":\"" +
                    conversionName(view.report.outcome) + "\"";
  // For scripts, in one language whatever the user's.
  const std::string detail = outcomeDetail(englishCatalogue(), view.report);
  if (!detail.empty())
    out += ",\"reason\":" + jsonString(detail);
  out += ",\"id3v2\":" + (view.hasTag ? jsonTag(view) : std::string("null")) + ",\"frames\":[";
  for (size_t i = 0; i < view.frames.size(); ++i)
    out += (i == 0 ? "" : ",") + jsonFrame(view.frames[i]);
  out += "],\"id3v1\":" + (view.hasId3v1 ? jsonId3v1(view) : std::string("null"));
  out += ",\"misread\":{\"text-encoding\":" + std::to_string(misreads.wideTexts) +
         ",\"dropped-values\":" + std::to_string(misreads.droppedValues) +
         ",\"unsynchronisation\":" + std::to_string(misreads.unsynchronised) +
         ",\"version-2.4\":" + std::to_string(misreads.version4) +
         ",\"id3v1-differs\":" + std::to_string(misreads.id3v1Disagrees) + "}}";
  return out + "\n";
}

// ---- Lines -------------------------------------------------------------------

const char *encodingName(int encoding) {
  switch (encoding) {
  case -1:
    return "-";
  case TEXT_ENCODING_SINGLE_BYTE:
    return "cp932";
  case TEXT_ENCODING_UTF16:
    return "UTF-16";
  case TEXT_ENCODING_UTF16BE:
    return "UTF-16BE";
  case TEXT_ENCODING_UTF8:
    return "UTF-8";
  default:
    return "?";
  }
}

std::string frameLine(const Catalogue &messages, const FrameView &frame) {
  char line[64];
  std::string encoding = encodingName(frame.encoding);
  if (frame.unsynchronised)
    encoding += " unsync";
  std::snprintf(line, sizeof line, "%s %-4s %8u  %-9s",
                frame.wideText || frame.unsynchronised || frame.droppedValues ? "!" : " ",
                frame.identifier.c_str(), static_cast<unsigned>(frame.size), encoding.c_str());
  std::string text = line;
  if (frame.hasText)
    text += " " + frame.shown;
  if (frame.droppedValues)
    text += " " + messageText(messages, Message::DroppedValuesHint);
  while (!text.empty() && text.back() == ' ')
    text.pop_back();
  return text + "\n";
}

std::string fileLines(const Catalogue &messages, const FileView &view) {
  std::string lines = outcomeLine(messages, escapeControls(view.path), view.report);
  if (view.hasTag)
    lines += infoTagLine(messages, view.misreads.version4 > 0 || view.flags.unsynchronisation,
                         view.version, view.size, view.padding, tagFlagsText(messages, view.flags),
                         view.misreads.version4 > 0);
  for (const FrameView &frame : view.frames)
    lines += frameLine(messages, frame);
  if (view.hasId3v1)
    lines += infoId3v1Line(messages, view.id3v1);
  return lines;
}

// ---- The run -------------------------------------------------------------------

struct InfoRun {
  Options options;
  FileList list;
  FolderChain openFolders;
  ProgressLine progress;
  MisreadCounts counts;
  bool marked; // some line carries a mark
};

// Listed file i, its tags described into view once the conversion's checks
// have examined them; the report tells what a conversion would give, or why
// the file could not be read. Nothing is written.
PathReport readListed(InfoRun &run, size_t i, FileView &view) {
  FilePlace place;
  PathReport failure{};
  if (!placeOfListedFile(run.list, i, run.openFolders, &place, &failure))
    return failure;
  FileConversion conversion{};
  if (openConversion(conversion, place, FileUse::Read)) {
    convertOpenFile(conversion, RewriteSettings{FrameScope::TitleFrames, TextSettings{false}},
                    false);
    if (tagWasExamined(conversion.report.outcome))
      describeTags(view, conversion);
  }
  releaseConversion(conversion);
  return conversion.report;
}

void count(InfoRun &run, const FileView &view) {
  MisreadCounts &counts = run.counts;
  const MisreadCounts &found = view.misreads;
  ++counts.files;
  if (!tagWasExamined(view.report.outcome))
    ++counts.failed;
  counts.wideTexts += found.wideTexts;
  counts.droppedValues += found.droppedValues;
  counts.unsynchronised += found.unsynchronised;
  counts.version4 += found.version4;
  counts.id3v1Disagrees += found.id3v1Disagrees;
}

bool hasMisreads(const MisreadCounts &found) {
  return found.wideTexts + found.droppedValues + found.unsynchronised + found.version4 +
             found.id3v1Disagrees >
         0;
}

void reportListingAsJson(InfoRun &run) {
  for (const ListingProblem &problem : run.list.problems) {
    FileView view{};
    view.path = problem.shownPath;
    view.report = failedReport(PathOutcome::CannotOpen, problem.problem);
    sayLine(run.progress, jsonLine(view));
    count(run, view);
  }
}

} // namespace

int infoRun(const Catalogue &messages, const Options &options, const ConsoleState &console) {
  InfoRun run{};
  run.options = options;
  run.progress = startProgress(console.errorIsTerminal && !options.quiet);
  collectFiles(options.paths, options.recursive, false, run.list);
  if (options.json) {
    reportListingAsJson(run);
  } else {
    run.counts.files = run.counts.failed =
        reportListingProblems(run.list, messages, options.quiet, run.progress);
  }
  for (size_t i = 0; i < run.list.files.size(); ++i) {
    FileView view{};
    view.path = run.list.files[i].shownPath;
    view.report = readListed(run, i, view);
    count(run, view);
    const bool marked = hasMisreads(view.misreads);
    run.marked = run.marked || marked;
    if (options.json)
      sayLine(run.progress, jsonLine(view));
    else if (!options.quiet || marked || !tagWasExamined(view.report.outcome))
      sayLine(run.progress, fileLines(messages, view));
    if (progressDue(run.progress))
      showProgress(run.progress, progressText(messages, i + 1, run.list.files.size()));
  }
  clearProgress(run.progress);
  closeFolderChain(run.openFolders);
  if (!options.json && !options.quiet) {
    if (run.marked)
      writeOutput(messageLine(messages, Message::InfoLegend));
    writeOutput(infoSummaryLine(messages, run.counts));
  }
  return exitStatus(run.counts.failed, false);
}

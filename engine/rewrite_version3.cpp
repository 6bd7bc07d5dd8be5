// The rewrite into version 2.3 (TagVersion::Version3): the walked frames
// in one pass, each under a version 2.3 header with its strings in
// encodings 0 and 1 and its values joined, then the counterparts that
// version 2.3 readers know for the version 2.4 frames that have them.
#include "engine/rewrite_steps.h"

#include "engine/tag_layout.h"

#include <cstring>

namespace {

constexpr uint8_t VERSION_2 = 2;
constexpr uint8_t VERSION_3 = 3;
constexpr uint32_t IDENTIFIER_V3_LENGTH = 4;
constexpr uint32_t IDENTIFIER_V2_LENGTH = 3;

// What the output may take beyond the input, for version3OutputLength. A
// string takes at most four times its bytes: UTF-8 doubles as UTF-16, and
// an empty string's terminator (one byte) becomes a byte-order mark and a
// two-byte terminator. A text frame's values take 8 bytes more at most (a
// byte-order mark; "(n)" for a one-digit genre number without its
// terminator). A frame's header may grow by 4 (version 2.2's 6 bytes), a
// version 2.2 picture's image format (3 bytes) become a MIME type and its
// terminator, a version 2.2 link's identifier take one more byte.
constexpr uint64_t STRING_GROWTH = 4;
constexpr uint64_t VALUES_SLACK = 8;
constexpr uint64_t FRAME_SLACK = sizeof(FrameHeader) + MIME_TYPE_LONGEST + 2;
// The frames added: TYER, TDAT, TIME and TORY (10 + 5 bytes each), and
// IPLS: its header, its encoding byte, and per source frame a terminator
// for its last string and an empty string that keeps the pairs in step.
constexpr uint64_t YEAR_FRAME_LENGTH = sizeof(FrameHeader) + 1 + 4;
constexpr uint64_t ADDED_FRAMES_LONGEST = 4 * YEAR_FRAME_LENGTH;
constexpr uint64_t PEOPLE_LIST_SLACK = sizeof(FrameHeader) + 1 + 2 * VALUES_SLACK;

const char LINK_V22[] = "LNK";
const char PICTURE_V22[] = "PIC";
const char GENRE[] = "TCON";

// The walk's verdicts that version 2.3 output reads past: unsynchronisation
// (undone; the walk of the tag's copy without it decides) and an extended
// header's CRC (the header is dropped) when no size is damaged.
bool version3Reads(const TagRecord &record) {
  if (record.verdict == TagVerdict::Accepted) {
    return true;
  }
  return record.verdict == TagVerdict::Unsupported &&
         (record.reason == RewriteReason::Unsynchronised ||
          (record.reason == RewriteReason::ExtendedHeaderCrc &&
           record.damage == RewriteReason::None));
}

// A frame whose content (after the bytes its flags add) is stored as it
// reads: neither compressed nor encrypted. (Version 2.4 frames with format
// flags of no meaning never get this far; version 2.3's other bits are
// read past, as the ordinary conversion reads past them.)
bool isReadable(const FrameExtras &extras) {
  return extras.complete && !extras.compressed && !extras.encrypted;
}

struct Output {
  uint8_t *bytes;
  uint32_t capacity;
  uint32_t length;
  bool full; // something did not fit: the result is not written
};

// Room for count more bytes at the end; nullptr (and full) when there is none.
uint8_t *reserve(Output &out, uint32_t count) {
  if (out.full || count > out.capacity - out.length) {
    out.full = true;
    return nullptr;
  }
  uint8_t *at = out.bytes + out.length;
  out.length += count;
  return at;
}

void put(Output &out, const uint8_t *bytes, uint32_t count) {
  uint8_t *at = reserve(out, count);
  if (at != nullptr && count > 0) {
    std::memcpy(at, bytes, count);
  }
}

struct Conversion {
  FileImage source; // the tag read: the input, or its copy with unsynchronisation undone
  const TagRecord &record;
  RewriteSettings settings;
  Output out;
  RewriteReport &report;
  std::vector<FieldSpan> spans;
};

void copyIdentifier(char (&to)[5], const char *from) {
  size_t length = 0;
  while (length < IDENTIFIER_V3_LENGTH && from[length] != '\0') {
    ++length;
  }
  std::memcpy(to, from, length);
  to[length] = '\0';
}

void noteChange(VersionChanges &changes, FrameChange change, const char *from, const char *to) {
  ++changes.counts[static_cast<size_t>(change)];
  if (change == FrameChange::Reencoded || changes.named == FRAME_CHANGES_NAMED) {
    return;
  }
  NamedFrameChange &named = changes.changes[changes.named++];
  named.change = change;
  copyIdentifier(named.identifier, from);
  copyIdentifier(named.result, to);
}

// What stops a faithful version 2.3 frame: version 2.3 has no place for a
// format flag of no meaning, and gives a compressed frame's decompressed
// size, which only a version 2.4 data length indicator can tell without
// decompressing it. A frame whose data is its data length indicator alone
// would be written with no bytes, where a reader of version 2.3 sees the
// padding begin and so loses every frame after it.
Version3Obstacle frameObstacle(const Conversion &c) {
  if (!hasVersion4Layout(c.record)) {
    return Version3Obstacle::None;
  }
  for (const TagFrame &frame : c.record.frames) {
    const FrameExtras extras = frameExtrasOf(c.source.bytes, c.record, frame);
    if (!formatFlagsKnown(c.record, frame) || !extras.complete) {
      return Version3Obstacle::FrameFlagsUnknown;
    }
    if (extras.compressed && !extras.sizeGiven) {
      return Version3Obstacle::CompressedWithoutSize;
    }
    if (extras.content.length == 0 && !extras.compressed && !extras.encrypted && !extras.grouped) {
      return Version3Obstacle::EmptyFrame;
    }
  }
  return Version3Obstacle::None;
}

// The title frames' checks, as the ordinary conversion makes them, on
// their content: stored compressed or encrypted, or in an encoding that
// the rewrite does not know.
RewriteOutcome checkTitleFrames(const Conversion &c) {
  for (const TagFrame &frame : c.record.frames) {
    if (!isTargetFrame(frame, c.record)) {
      continue;
    }
    const FrameExtras extras = frameExtrasOf(c.source.bytes, c.record, frame);
    if (!isReadable(extras)) {
      return {RewriteKind::Unsupported, RewriteReason::FrameFormatFlags, 0};
    }
    if (extras.content.length > 0 && c.source.bytes[extras.content.start] > TEXT_ENCODING_UTF8) {
      return {RewriteKind::Unsupported, RewriteReason::UnknownTextEncoding, 0};
    }
  }
  return {RewriteKind::Rewritten, RewriteReason::None, 0};
}

// How the strings of a split frame are written: converted into the code
// page when in scope, as UTF-16 when in an encoding version 2.3 lacks,
// with their values joined when there are several; otherwise as they are.
SpanConversion conversionOf(Conversion &c, const TagFrame &frame, const char *identifier,
                            const uint8_t *content, bool picture) {
  const uint8_t encoding = content[0];
  const bool lists = c.record.textFramesHoldLists;
  const bool genres = std::strcmp(identifier, GENRE) == 0;
  bool joined = false;
  for (const FieldSpan &span : c.spans) {
    if (span.use == SpanUse::Values) {
      const uint8_t *values = content + span.start;
      joined = shownValueLength(values, span.length, encoding) < span.length ||
               (lists && genres && holdsGenreReference(values, span.length, encoding));
    }
  }
  SpanConversion conversion = {false,   TextTarget::AnsiCodePage, encoding, ValueJoin::FirstValue,
                               picture, c.settings.text};
  if (lists || joined) {
    conversion.values = genres ? ValueJoin::Genres : ValueJoin::Slash;
  }
  VersionChanges &changes = c.report.version;
  if (c.settings.scope == FrameScope::AllFrames || isTargetFrame(frame, c.record)) {
    conversion.convertStrings = true;
    conversion.encoding = TEXT_ENCODING_SINGLE_BYTE;
  } else if (encoding == TEXT_ENCODING_UTF16BE || encoding == TEXT_ENCODING_UTF8) {
    // Version 2.4's encodings, and in a version 2.3 tag against its
    // standard (TagLib has written UTF-8 there): UTF-16, which every
    // version 2.3 reader knows.
    conversion.convertStrings = true;
    conversion.target = TextTarget::Utf16;
    conversion.encoding = TEXT_ENCODING_UTF16;
    noteChange(changes, FrameChange::Reencoded, identifier, identifier);
  } else if (joined) {
    conversion.convertStrings = true;
    conversion.target =
        encoding == TEXT_ENCODING_SINGLE_BYTE ? TextTarget::AnsiCodePage : TextTarget::Utf16;
  }
  if (joined) {
    noteChange(changes, FrameChange::Joined, identifier, identifier);
  }
  return conversion;
}

// A version 2.2 picture whose fields do not parse: its image format, at
// its fixed place, still becomes a MIME type. False when it is too short
// to hold one.
bool writeUnsplitPicture(Conversion &c, const uint8_t *content, uint32_t length) {
  constexpr uint32_t FORMAT_START = 1;
  constexpr uint32_t FORMAT_END = 4;
  if (length < FORMAT_END) {
    return false;
  }
  const MimeType mimeType = mimeTypeOfImageFormat(content + FORMAT_START);
  put(c.out, content, FORMAT_START);
  put(c.out, reinterpret_cast<const uint8_t *>(mimeType.text), mimeType.length);
  const uint8_t terminator = 0;
  put(c.out, &terminator, 1);
  put(c.out, content + FORMAT_END, length - FORMAT_END);
  return true;
}

// A version 2.2 link names the frame it stands for by its version 2.2
// identifier: it takes the version 2.3 one. False when that frame has
// none.
bool writeLink(Conversion &c, const uint8_t *content, uint32_t length) {
  if (length < IDENTIFIER_V2_LENGTH) {
    return false;
  }
  char linked[IDENTIFIER_V2_LENGTH + 1] = {};
  std::memcpy(linked, content, IDENTIFIER_V2_LENGTH);
  const char *identifier = version3IdentifierOf(linked);
  if (identifier == nullptr) {
    return false;
  }
  put(c.out, reinterpret_cast<const uint8_t *>(identifier), IDENTIFIER_V3_LENGTH);
  put(c.out, content + IDENTIFIER_V2_LENGTH, length - IDENTIFIER_V2_LENGTH);
  return true;
}

// Writes a frame's content after its version 2.3 header; false when the
// frame is left out.
bool writeContent(Conversion &c, const TagFrame &frame, const char *identifier,
                  const FrameExtras &extras) {
  const uint8_t *content = c.source.bytes + extras.content.start;
  const uint32_t length = extras.content.length;
  const bool version2 = c.record.majorVersion == VERSION_2;
  if (version2 && std::strcmp(frame.identifier, LINK_V22) == 0) {
    return writeLink(c, content, length);
  }
  const bool picture = version2 && std::strcmp(frame.identifier, PICTURE_V22) == 0;
  const FrameFields *layout = frameFieldsOf(frame.identifier);
  const bool readable = isReadable(extras);
  if (layout == nullptr || length == 0 || !readable) {
    if (layout != nullptr && length > 0 && c.settings.scope == FrameScope::AllFrames) {
      noteFrame(c.report.left, frame.identifier);
    }
    put(c.out, content, length);
    return true;
  }
  if (!splitFrameFields(content, length, *layout, c.spans)) {
    // Kept as they are; strings in UTF-8 or UTF-16BE stay so.
    if (c.settings.scope == FrameScope::AllFrames || content[0] == TEXT_ENCODING_UTF16BE ||
        content[0] == TEXT_ENCODING_UTF8) {
      noteFrame(c.report.left, frame.identifier);
    }
    if (picture) {
      return writeUnsplitPicture(c, content, length);
    }
    put(c.out, content, length);
    return true;
  }
  const SpanConversion conversion = conversionOf(c, frame, identifier, content, picture);
  uint32_t written = 0;
  if (!c.out.full && convertSpans(content, c.spans, conversion, c.out.bytes + c.out.length,
                                  c.out.capacity - c.out.length, written)) {
    c.out.length += written;
  } else {
    c.out.full = true;
  }
  return true;
}

void writeFrame(Conversion &c, const TagFrame &frame) {
  const TagRecord &record = c.record;
  const char *identifier = frame.identifier;
  if (record.majorVersion == VERSION_2) {
    identifier = version3IdentifierOf(frame.identifier);
    if (identifier == nullptr) {
      noteFrame(c.report.version.leftOut, frame.identifier);
      return;
    }
  }
  const FrameExtras extras = frameExtrasOf(c.source.bytes, record, frame);
  if (record.majorVersion == VERSION_3 && !isReadable(extras)) {
    // Its flags and added bytes are version 2.3's already.
    if (frameFieldsOf(frame.identifier) != nullptr && frame.data.length > 0 &&
        c.settings.scope == FrameScope::AllFrames) {
      noteFrame(c.report.left, frame.identifier);
    }
    put(c.out, c.source.bytes + frame.headerStart, record.frameHeaderSize + frame.data.length);
    return;
  }
  const uint32_t headerAt = c.out.length;
  if (reserve(c.out, static_cast<uint32_t>(sizeof(FrameHeader)) + extrasLengthV3(extras)) ==
      nullptr) {
    return;
  }
  if (!writeContent(c, frame, identifier, extras)) {
    c.out.length = headerAt;
    noteFrame(c.report.version.leftOut, frame.identifier);
    return;
  }
  if (c.out.full) {
    return;
  }
  // A version 2.3 frame keeps its format byte, bits of no meaning included.
  const uint8_t format =
      record.majorVersion == VERSION_3 ? frame.formatFlags : formatFlagsV3Of(extras);
  writeFrameHeaderV3(c.out.bytes + headerAt, identifier,
                     c.out.length - headerAt - static_cast<uint32_t>(sizeof(FrameHeader)),
                     statusFlagsV3Of(record, frame), format, extras);
  if (record.majorVersion == VERSION_2) {
    noteChange(c.report.version, FrameChange::Renamed, frame.identifier, identifier);
  }
}

// ---- Counterparts of version 2.4 frames -------------------------------------

bool holdsFrame(const TagRecord &record, const char *identifier) {
  for (const TagFrame &frame : record.frames) {
    if (std::strcmp(frame.identifier, identifier) == 0) {
      return true;
    }
  }
  return false;
}

// The first frame with this identifier whose content is readable and
// holds more than its encoding byte, in an encoding the rewrite knows;
// nullptr when there is none.
const TagFrame *readableFrame(const Conversion &c, const char *identifier, FrameExtras &extras) {
  for (const TagFrame &frame : c.record.frames) {
    if (std::strcmp(frame.identifier, identifier) != 0) {
      continue;
    }
    extras = frameExtrasOf(c.source.bytes, c.record, frame);
    if (isReadable(extras) && extras.content.length > 1 &&
        c.source.bytes[extras.content.start] <= TEXT_ENCODING_UTF8) {
      return &frame;
    }
  }
  return nullptr;
}

// The parts of a version 2.4 time stamp, yyyy-MM-ddTHH:mm:ss, as far as
// it gives them.
struct TimeStamp {
  char year[4];
  char month[2];
  char day[2];
  char hour[2];
  char minute[2];
  bool hasYear;
  bool hasDay;
  bool hasMinute;
};

bool digitsAt(const char16_t *units, size_t count, size_t at, size_t digits, char *out) {
  if (at + digits > count) {
    return false;
  }
  for (size_t i = 0; i < digits; ++i) {
    const char16_t unit = units[at + i];
    if (unit < u'0' || unit > u'9') {
      return false;
    }
    out[i] = static_cast<char>(unit);
  }
  return true;
}

bool separatorAt(const char16_t *units, size_t count, size_t at, char16_t separator) {
  return at < count && units[at] == separator;
}

// The time stamp of a frame's first value.
TimeStamp timeStampOf(const Conversion &c, const FrameExtras &extras) {
  constexpr size_t LONGEST = 19; // yyyy-MM-ddTHH:mm:ss
  const uint8_t *content = c.source.bytes + extras.content.start;
  char16_t units[LONGEST];
  size_t count = 0;
  decodeFrameText(content + 1, extras.content.length - 1, content[0], false, units, LONGEST, count);
  TimeStamp stamp{};
  stamp.hasYear = digitsAt(units, count, 0, sizeof stamp.year, stamp.year);
  const bool hasMonth = stamp.hasYear && separatorAt(units, count, 4, u'-') &&
                        digitsAt(units, count, 5, sizeof stamp.month, stamp.month);
  stamp.hasDay = hasMonth && separatorAt(units, count, 7, u'-') &&
                 digitsAt(units, count, 8, sizeof stamp.day, stamp.day);
  const bool hasHour = stamp.hasDay && separatorAt(units, count, 10, u'T') &&
                       digitsAt(units, count, 11, sizeof stamp.hour, stamp.hour);
  stamp.hasMinute = hasHour && separatorAt(units, count, 13, u':') &&
                    digitsAt(units, count, 14, sizeof stamp.minute, stamp.minute);
  return stamp;
}

// A text frame of four digits in encoding 0, unless the tag has one.
void addDigitsFrame(Conversion &c, const char *source, const char *identifier, const char *first,
                    const char *second) {
  if (holdsFrame(c.record, identifier)) {
    return;
  }
  const uint8_t text[5] = {TEXT_ENCODING_SINGLE_BYTE, static_cast<uint8_t>(first[0]),
                           static_cast<uint8_t>(first[1]), static_cast<uint8_t>(second[0]),
                           static_cast<uint8_t>(second[1])};
  uint8_t *at = reserve(c.out, static_cast<uint32_t>(sizeof(FrameHeader) + sizeof text));
  if (at == nullptr) {
    return;
  }
  writeFrameHeaderV3(at, identifier, sizeof text, 0, 0, FrameExtras{});
  std::memcpy(at + sizeof(FrameHeader), text, sizeof text);
  noteChange(c.report.version, FrameChange::Added, source, identifier);
}

// TDRC gives TYER, TDAT (DDMM) and TIME (HHMM), as far as its time stamp
// goes; TDOR gives TORY.
void addDateFrames(Conversion &c) {
  FrameExtras extras{};
  if (readableFrame(c, "TDRC", extras) != nullptr) {
    const TimeStamp stamp = timeStampOf(c, extras);
    if (stamp.hasYear) {
      addDigitsFrame(c, "TDRC", "TYER", stamp.year, stamp.year + 2);
    }
    if (stamp.hasDay) {
      addDigitsFrame(c, "TDRC", "TDAT", stamp.day, stamp.month);
    }
    if (stamp.hasMinute) {
      addDigitsFrame(c, "TDRC", "TIME", stamp.hour, stamp.minute);
    }
  }
  if (readableFrame(c, "TDOR", extras) != nullptr) {
    const TimeStamp stamp = timeStampOf(c, extras);
    if (stamp.hasYear) {
      addDigitsFrame(c, "TDOR", "TORY", stamp.year, stamp.year + 2);
    }
  }
}

// One string of the people list: a string of TIPL or TMCL, or the empty
// one that keeps the pairs in step after an odd count.
struct PeopleString {
  const uint8_t *text;
  uint32_t length;
  uint8_t encoding;
  bool terminated;
};

// Adds the strings of the frame with this identifier; false when it has
// none to give.
bool collectPeople(Conversion &c, const char *identifier, std::vector<PeopleString> &strings,
                   uint8_t &encodings) {
  FrameExtras extras{};
  const TagFrame *frame = readableFrame(c, identifier, extras);
  const uint8_t *content = c.source.bytes + extras.content.start;
  if (frame == nullptr ||
      !splitFrameFields(content, extras.content.length, *frameFieldsOf(identifier), c.spans)) {
    return false;
  }
  size_t count = 0;
  for (const FieldSpan &span : c.spans) {
    if (span.use == SpanUse::Text) {
      strings.push_back({content + span.start, span.length, content[0], span.terminated});
      ++count;
    }
  }
  if (count % 2 == 1) {
    strings.push_back({content, 0, content[0], true});
  }
  encodings = static_cast<uint8_t>(encodings | 1u << content[0]);
  return count > 0;
}

// TIPL and TMCL together give IPLS: the pairs of the one, then those of the
// other, in encoding 0 when they are converted into the code page or all
// in encoding 0, otherwise in UTF-16.
void addPeopleList(Conversion &c) {
  if (holdsFrame(c.record, "IPLS")) {
    return;
  }
  std::vector<PeopleString> strings;
  uint8_t encodings = 0; // bit n: a source in encoding n
  const bool fromInvolved = collectPeople(c, "TIPL", strings, encodings);
  const bool fromMusicians = collectPeople(c, "TMCL", strings, encodings);
  if (!fromInvolved && !fromMusicians) {
    return;
  }
  const bool singleByte =
      c.settings.scope == FrameScope::AllFrames || encodings == 1u << TEXT_ENCODING_SINGLE_BYTE;
  const TextTarget target = singleByte ? TextTarget::AnsiCodePage : TextTarget::Utf16;
  const uint8_t encoding = singleByte ? TEXT_ENCODING_SINGLE_BYTE : TEXT_ENCODING_UTF16;
  const uint32_t headerAt = c.out.length;
  if (reserve(c.out, static_cast<uint32_t>(sizeof(FrameHeader))) == nullptr) {
    return;
  }
  put(c.out, &encoding, 1);
  const uint8_t terminator[2] = {0, 0};
  for (size_t i = 0; i < strings.size() && !c.out.full; ++i) {
    const PeopleString &string = strings[i];
    size_t written = 0;
    if (!convertText(string.text, string.length, string.encoding, ValueJoin::FirstValue, target,
                     c.settings.text, c.out.bytes + c.out.length, c.out.capacity - c.out.length,
                     written)) {
      c.out.full = true;
      return;
    }
    c.out.length += static_cast<uint32_t>(written);
    if (i + 1 < strings.size() || string.terminated) {
      put(c.out, terminator, singleByte ? 1 : 2);
    }
  }
  if (c.out.full) {
    return;
  }
  writeFrameHeaderV3(c.out.bytes + headerAt, "IPLS",
                     c.out.length - headerAt - static_cast<uint32_t>(sizeof(FrameHeader)), 0, 0,
                     FrameExtras{});
  noteChange(c.report.version, FrameChange::Added, fromInvolved ? "TIPL" : "TMCL", "IPLS");
}

// The header's flags in version 2.3: a version 2.3 tag keeps its own but
// for unsynchronisation (undone) and an extended header that is dropped;
// of version 2.4's only the experimental flag has a version 2.3 meaning;
// version 2.2's one other flag (compression) is never rewritten.
uint8_t tagFlagsV3(const Conversion &c, bool keepsExtendedHeader) {
  const uint8_t read = readTagHeader(c.source.bytes).flags;
  if (c.record.majorVersion == VERSION_3) {
    const uint8_t dropped = static_cast<uint8_t>(
        TAG_FLAG_UNSYNCHRONISATION | (keepsExtendedHeader ? 0 : TAG_FLAG_EXTENDED_HEADER));
    return static_cast<uint8_t>(read & ~dropped);
  }
  return c.record.majorVersion == VERSION_2 ? 0
                                            : static_cast<uint8_t>(read & TAG_FLAG_EXPERIMENTAL);
}

// The ordinary conversion, when version 2.3 cannot be written.
RewriteOutcome ordinaryConversion(FileImage input, const TagRecord &record, RewriteBuffers buffers,
                                  RewriteSettings settings, RewriteReport &report,
                                  Version3Obstacle obstacle) {
  const VersionChanges read = report.version;
  report.version = {};
  report.version.obstacle = obstacle;
  report.version.majorVersionRead = read.majorVersionRead;
  report.version.tagLengthRead = read.tagLengthRead;
  return rewriteAsRead(input, record, buffers.output, settings, report.left);
}

// The tag's longest version 2.3 form: each frame by its fields (a string
// at most STRING_GROWTH times its bytes), or as a whole when it cannot be
// split; when the frames are unsynchronised, the whole tag so.
uint64_t frameOutputLongest(FileImage input, const TagRecord &record, const TagFrame &frame,
                            std::vector<FieldSpan> &spans) {
  const FrameExtras extras = frameExtrasOf(input.bytes, record, frame);
  const FrameFields *layout = frameFieldsOf(frame.identifier);
  if (layout == nullptr || extras.content.length == 0 || !isReadable(extras) ||
      !splitFrameFields(input.bytes + extras.content.start, extras.content.length, *layout,
                        spans)) {
    return FRAME_SLACK + frame.data.length;
  }
  uint64_t longest = FRAME_SLACK + (frame.data.length - extras.content.length);
  for (const FieldSpan &span : spans) {
    switch (span.use) {
    case SpanUse::Encoding:
    case SpanUse::Kept:
      longest += span.length;
      break;
    case SpanUse::Text:
      longest += STRING_GROWTH * span.length;
      break;
    case SpanUse::Values:
      longest += STRING_GROWTH * span.length + VALUES_SLACK;
      break;
    }
  }
  return longest;
}

} // namespace

uint64_t version3OutputLength(FileImage input, const TagRecord &record) {
  const uint64_t tagSpanEnd = uint64_t{record.tagEnd} + record.footer.length;
  if (!version3Reads(record) || tagSpanEnd > input.length) {
    return input.length;
  }
  uint64_t tag = TAG_HEADER_SIZE + ADDED_FRAMES_LONGEST + PEOPLE_LIST_SLACK;
  if (resynchronisationLength(record) > 0) {
    // Frames, extended header and padding, and the people list made from
    // the frames again.
    tag += 2 * STRING_GROWTH * (record.tagEnd - TAG_HEADER_SIZE);
  } else {
    tag += record.extendedHeader.length + record.padding.length;
    std::vector<FieldSpan> spans;
    for (const TagFrame &frame : record.frames) {
      tag += frameOutputLongest(input, record, frame, spans);
      if (std::strcmp(frame.identifier, "TIPL") == 0 ||
          std::strcmp(frame.identifier, "TMCL") == 0) {
        tag += STRING_GROWTH * frame.data.length + VALUES_SLACK;
      }
    }
  }
  const uint64_t longest = tag + (input.length - tagSpanEnd);
  return longest > input.length ? longest : input.length;
}

RewriteOutcome rewriteAsVersion3(FileImage input, const TagRecord &record, RewriteBuffers buffers,
                                 RewriteSettings settings, RewriteReport &report) {
  report.version.majorVersionRead = record.majorVersion;
  report.version.tagLengthRead = record.tagEnd + record.footer.length;
  if (!version3Reads(record)) {
    return ordinaryConversion(input, record, buffers, settings, report,
                              Version3Obstacle::TagNotRewritten);
  }
  // A tag with unsynchronisation is read from a copy without it.
  FileImage source = input;
  TagRecord resynchronised{};
  const TagRecord *read = &record;
  const uint32_t scratchLength = resynchronisationLength(record);
  if (scratchLength > 0) {
    if (buffers.scratch == nullptr || buffers.scratchCapacity < scratchLength) {
      return ordinaryConversion(input, record, buffers, settings, report,
                                Version3Obstacle::BuffersTooSmall);
    }
    const ResynchronisedTag copy = resynchroniseTag(input, record, buffers.scratch);
    report.version.obstacle = Version3Obstacle::TagNotRewritten;
    if (copy.tag.length == 0) {
      return {RewriteKind::Damaged, copy.damage, 0};
    }
    resynchronised = walkTag(copy.tag);
    if (!version3Reads(resynchronised)) {
      return outcomeOfWalk(resynchronised);
    }
    report.version.obstacle = Version3Obstacle::None;
    source = copy.tag;
    read = &resynchronised;
  }
  Conversion c = {source, *read, settings, {buffers.output, buffers.outputCapacity, 0, false},
                  report, {}};
  const Version3Obstacle obstacle = frameObstacle(c);
  if (obstacle != Version3Obstacle::None) {
    return ordinaryConversion(input, record, buffers, settings, report, obstacle);
  }
  const RewriteOutcome checked = checkTitleFrames(c);
  if (checked.kind != RewriteKind::Rewritten) {
    report.version.obstacle = Version3Obstacle::TagNotRewritten;
    return checked;
  }

  // A version 2.3 extended header stays, unless its CRC would no longer fit
  // the frames; version 2.4's is dropped.
  const bool keepsExtendedHeader = read->majorVersion == VERSION_3 &&
                                   read->extendedHeader.length > 0 && !read->extendedHeaderCrc;
  reserve(c.out, TAG_HEADER_SIZE);
  if (keepsExtendedHeader) {
    put(c.out, source.bytes + read->extendedHeader.start, read->extendedHeader.length);
  }
  for (const TagFrame &frame : read->frames) {
    writeFrame(c, frame);
  }
  if (hasVersion4Layout(*read)) {
    addDateFrames(c);
    addPeopleList(c);
  }
  put(c.out, source.bytes + read->padding.start, read->padding.length);
  const uint32_t tagEnd = c.out.length;
  const uint32_t tagSpanEnd = record.tagEnd + record.footer.length;
  put(c.out, input.bytes + tagSpanEnd, input.length - tagSpanEnd);
  if (c.out.full) {
    return ordinaryConversion(input, record, buffers, settings, report,
                              Version3Obstacle::BuffersTooSmall);
  }
  if (tagEnd - TAG_HEADER_SIZE > TAG_SIZE_LARGEST) {
    return ordinaryConversion(input, record, buffers, settings, report,
                              Version3Obstacle::TagTooLarge);
  }
  const uint8_t revision = read->majorVersion == VERSION_3 ? read->revision : 0;
  writeTagHeaderV3(buffers.output, revision, tagFlagsV3(c, keepsExtendedHeader),
                   tagEnd - TAG_HEADER_SIZE);
  report.version.converted = true;
  report.version.tagLengthWritten = tagEnd;
  return {RewriteKind::Rewritten, RewriteReason::None, c.out.length};
}

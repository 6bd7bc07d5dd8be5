#include "engine/frame_fields.h"

#include "engine/text_values.h"

#include <cstring>

namespace {

constexpr FieldLayout ENCODING = {FieldKind::Encoding, 0, false};
constexpr FieldLayout LATIN1 = {FieldKind::Latin1, 0, false};
constexpr FieldLayout TEXT = {FieldKind::Text, 0, false};
constexpr FieldLayout TEXTS = {FieldKind::Texts, 0, false};
constexpr FieldLayout VALUES = {FieldKind::Values, 0, false};
constexpr FieldLayout SYNCED_TEXTS = {FieldKind::SyncedTexts, 0, false};
constexpr FieldLayout BINARY = {FieldKind::Binary, 0, false};
constexpr FieldLayout LANGUAGE = {FieldKind::Fixed, 3, false};
constexpr FieldLayout ONE_BYTE = {FieldKind::Fixed, 1, false}; // picture type, received as...
constexpr FieldLayout DATE = {FieldKind::Fixed, 8, false};     // YYYYMMDD
constexpr FieldLayout IMAGE_FORMAT = {FieldKind::Fixed, 3, false};
constexpr FieldLayout LOGO_MIME_TYPE = {FieldKind::Latin1, 0, true}; // only with a logo
constexpr uint32_t TIME_STAMP_SIZE = 4;

// Every frame with an encoded string, in versions 3 and 4 and (3-character
// identifiers) in version 2. The first entry whose identifier matches
// applies, so the text frames of other layouts come before the rest. The
// lists of people (TIPL, TMCL, and IPLS of version 3) keep every string:
// writers put them into version 3 tags too, where a text frame's value
// would otherwise end at its first terminator and lose the pairs after it.
const FrameFields FRAME_FIELDS[] = {
    {"TXXX", 3, {ENCODING, TEXT, VALUES}},
    {"TXX", 3, {ENCODING, TEXT, VALUES}},
    {"TIPL", 2, {ENCODING, TEXTS}},
    {"TMCL", 2, {ENCODING, TEXTS}},
    {"T***", 2, {ENCODING, VALUES}},
    {"T**", 2, {ENCODING, VALUES}},
    {"COMM", 4, {ENCODING, LANGUAGE, TEXT, TEXTS}},
    {"COM", 4, {ENCODING, LANGUAGE, TEXT, TEXTS}},
    {"USLT", 4, {ENCODING, LANGUAGE, TEXT, TEXTS}},
    {"ULT", 4, {ENCODING, LANGUAGE, TEXT, TEXTS}},
    {"APIC", 5, {ENCODING, LATIN1, ONE_BYTE, TEXT, BINARY}},
    {"PIC", 5, {ENCODING, IMAGE_FORMAT, ONE_BYTE, TEXT, BINARY}},
    {"GEOB", 5, {ENCODING, LATIN1, TEXT, TEXT, BINARY}},
    {"GEO", 5, {ENCODING, LATIN1, TEXT, TEXT, BINARY}},
    {"WXXX", 3, {ENCODING, TEXT, BINARY}},
    {"WXX", 3, {ENCODING, TEXT, BINARY}},
    {"USER", 3, {ENCODING, LANGUAGE, TEXTS}},
    {"OWNE", 4, {ENCODING, LATIN1, DATE, TEXTS}},
    {"COMR", 9, {ENCODING, LATIN1, DATE, LATIN1, ONE_BYTE, TEXT, TEXT, LOGO_MIME_TYPE, BINARY}},
    {"SYLT", 6, {ENCODING, LANGUAGE, ONE_BYTE, ONE_BYTE, TEXT, SYNCED_TEXTS}},
    {"SLT", 6, {ENCODING, LANGUAGE, ONE_BYTE, ONE_BYTE, TEXT, SYNCED_TEXTS}},
    {"IPLS", 2, {ENCODING, TEXTS}},
    {"IPL", 2, {ENCODING, TEXTS}},
};

bool matches(const char *pattern, const char *identifier) {
  size_t i = 0;
  for (; pattern[i] != '\0' && identifier[i] != '\0'; ++i) {
    if (pattern[i] != '*' && pattern[i] != identifier[i]) {
      return false;
    }
  }
  return pattern[i] == identifier[i];
}

// The length of the string at text, its terminator included when it has
// one.
uint32_t stringLength(const uint8_t *text, uint32_t length, uint8_t encoding, bool &terminated) {
  return static_cast<uint32_t>(valueLength(text, length, encoding, terminated));
}

// A string of no character: its terminator alone, or a byte-order mark
// and its terminator. Not worth showing.
bool isEmptyString(const uint8_t *text, const FieldSpan &span, uint8_t encoding) {
  const bool utf16 = encoding == TEXT_ENCODING_UTF16 || encoding == TEXT_ENCODING_UTF16BE;
  const uint32_t terminator = span.terminated ? (utf16 ? 2 : 1) : 0;
  const uint32_t length = span.length - terminator;
  return length == byteOrderMarkLength(text, length, encoding);
}

struct Splitter {
  const uint8_t *data;
  uint32_t length;
  uint8_t encoding;
  uint32_t at;
  std::vector<FieldSpan> &spans;
};

void add(Splitter &split, SpanUse use, uint32_t length, bool terminated = false) {
  split.spans.push_back({use, terminated, split.at, length});
  split.at += length;
}

// One string that must end with its terminator; false when it does not.
bool addTerminated(Splitter &split, SpanUse use, uint8_t encoding) {
  bool terminated = false;
  const uint32_t length =
      stringLength(split.data + split.at, split.length - split.at, encoding, terminated);
  if (!terminated) {
    return false;
  }
  add(split, use, length, true);
  return true;
}

bool addField(Splitter &split, const FieldLayout &field) {
  const uint32_t left = split.length - split.at;
  switch (field.kind) {
  case FieldKind::Encoding:
    if (left == 0) {
      return false;
    }
    split.encoding = split.data[split.at];
    if (split.encoding > TEXT_ENCODING_UTF8) {
      return false;
    }
    add(split, SpanUse::Encoding, 1);
    return true;
  case FieldKind::Fixed:
    if (left < field.size) {
      return false;
    }
    add(split, SpanUse::Kept, field.size);
    return true;
  case FieldKind::Latin1:
    return addTerminated(split, SpanUse::Kept, TEXT_ENCODING_SINGLE_BYTE);
  case FieldKind::Text:
    return addTerminated(split, SpanUse::Text, split.encoding);
  case FieldKind::Texts:
    while (split.at < split.length) {
      bool terminated = false;
      const uint32_t length =
          stringLength(split.data + split.at, split.length - split.at, split.encoding, terminated);
      add(split, SpanUse::Text, length, terminated);
    }
    return true;
  case FieldKind::SyncedTexts:
    while (split.at < split.length) {
      if (!addTerminated(split, SpanUse::Text, split.encoding) ||
          split.length - split.at < TIME_STAMP_SIZE) {
        return false;
      }
      add(split, SpanUse::Kept, TIME_STAMP_SIZE);
    }
    return true;
  case FieldKind::Values:
    add(split, SpanUse::Values, left); // even empty: a text frame lists its (empty) values
    return true;
  case FieldKind::Binary:
    if (left > 0) {
      add(split, SpanUse::Kept, left);
    }
    return true;
  }
  return false;
}

} // namespace

const FrameFields *frameFieldsOf(const char *identifier) {
  for (const FrameFields &fields : FRAME_FIELDS) {
    if (matches(fields.identifier, identifier)) {
      return &fields;
    }
  }
  return nullptr;
}

bool splitFrameFields(const uint8_t *data, uint32_t length, const FrameFields &layout,
                      std::vector<FieldSpan> &spans) {
  spans.clear();
  Splitter split = {data, length, TEXT_ENCODING_SINGLE_BYTE, 0, spans};
  for (size_t i = 0; i < layout.count; ++i) {
    if (split.at == length && layout.fields[i].frameMayEndBefore) {
      return true;
    }
    if (!addField(split, layout.fields[i])) {
      return false;
    }
  }
  return split.at == length;
}

FrameSplit splitFrameOf(FileImage input, const TagFrame &frame, std::vector<FieldSpan> &spans) {
  spans.clear();
  const FrameFields *layout = frameFieldsOf(frame.identifier);
  if (layout == nullptr || frame.data.length == 0) {
    return FrameSplit::NoStrings;
  }
  if (frame.storedTransformed) {
    return FrameSplit::Transformed;
  }
  return splitFrameFields(input.bytes + frame.data.start, frame.data.length, *layout, spans)
             ? FrameSplit::Split
             : FrameSplit::Unreadable;
}

void readFrameStrings(FileImage input, const TagRecord &record, const TagFrame &frame,
                      FrameStrings &out) {
  out.strings.clear();
  out.split = splitFrameOf(input, frame, out.spans);
  const uint8_t *data = input.bytes + frame.data.start;
  out.encoding =
      out.split == FrameSplit::Unreadable || out.split == FrameSplit::Split ? data[0] : 0;
  if (out.split != FrameSplit::Split) {
    return;
  }
  for (const FieldSpan &span : out.spans) {
    const uint8_t *text = data + span.start;
    if (span.use == SpanUse::Values) {
      const uint32_t shown =
          record.textFramesHoldLists
              ? span.length
              : static_cast<uint32_t>(shownValueLength(text, span.length, out.encoding));
      out.strings.push_back({text, span.length, record.textFramesHoldLists, shown});
    } else if (span.use == SpanUse::Text && !isEmptyString(text, span, out.encoding)) {
      out.strings.push_back({text, span.length, false, span.length});
    }
  }
}

namespace {

// Every frame of the version 2.2 standard and its version 2.3 identifier.
// CRM, the encrypted meta frame, has none: version 2.3 encrypts frames one
// by one instead.
struct IdentifierPair {
  const char *v22;
  const char *v23;
};

const IdentifierPair VERSION3_IDENTIFIERS[] = {
    {"BUF", "RBUF"}, {"CNT", "PCNT"}, {"COM", "COMM"}, {"CRA", "AENC"}, {"ETC", "ETCO"},
    {"EQU", "EQUA"}, {"GEO", "GEOB"}, {"IPL", "IPLS"}, {"LNK", "LINK"}, {"MCI", "MCDI"},
    {"MLL", "MLLT"}, {"PIC", "APIC"}, {"POP", "POPM"}, {"REV", "RVRB"}, {"RVA", "RVAD"},
    {"SLT", "SYLT"}, {"STC", "SYTC"}, {"TAL", "TALB"}, {"TBP", "TBPM"}, {"TCM", "TCOM"},
    {"TCO", "TCON"}, {"TCR", "TCOP"}, {"TDA", "TDAT"}, {"TDY", "TDLY"}, {"TEN", "TENC"},
    {"TFT", "TFLT"}, {"TIM", "TIME"}, {"TKE", "TKEY"}, {"TLA", "TLAN"}, {"TLE", "TLEN"},
    {"TMT", "TMED"}, {"TOA", "TOPE"}, {"TOF", "TOFN"}, {"TOL", "TOLY"}, {"TOR", "TORY"},
    {"TOT", "TOAL"}, {"TP1", "TPE1"}, {"TP2", "TPE2"}, {"TP3", "TPE3"}, {"TP4", "TPE4"},
    {"TPA", "TPOS"}, {"TPB", "TPUB"}, {"TRC", "TSRC"}, {"TRD", "TRDA"}, {"TRK", "TRCK"},
    {"TSI", "TSIZ"}, {"TSS", "TSSE"}, {"TT1", "TIT1"}, {"TT2", "TIT2"}, {"TT3", "TIT3"},
    {"TXT", "TEXT"}, {"TXX", "TXXX"}, {"TYE", "TYER"}, {"UFI", "UFID"}, {"ULT", "USLT"},
    {"WAF", "WOAF"}, {"WAR", "WOAR"}, {"WAS", "WOAS"}, {"WCM", "WCOM"}, {"WCP", "WCOP"},
    {"WPB", "WPUB"}, {"WXX", "WXXX"},
};

// The image formats that version 2.2 names (JPG and PNG), two more that its
// three letters can name (GIF, BMP), and "-->", which marks a picture given
// by its URL in both versions.
struct ImageFormat {
  const char *format;
  const char *mimeType;
};

const ImageFormat IMAGE_FORMATS[] = {
    {"JPG", "image/jpeg"}, {"PNG", "image/png"}, {"GIF", "image/gif"},
    {"BMP", "image/bmp"},  {"-->", "-->"},
};

constexpr size_t IMAGE_FORMAT_SIZE = 3;
const char MIME_TYPE_IMAGE[] = "image/";

uint8_t upper(uint8_t c) {
  return c >= 'a' && c <= 'z' ? static_cast<uint8_t>(c - 'a' + 'A') : c;
}

uint8_t lower(uint8_t c) {
  return c >= 'A' && c <= 'Z' ? static_cast<uint8_t>(c - 'A' + 'a') : c;
}

bool isAsciiAlphanumeric(uint8_t c) {
  return (c >= '0' && c <= '9') || (upper(c) >= 'A' && upper(c) <= 'Z');
}

MimeType mimeTypeOf(const char *text) {
  MimeType type{};
  type.length = static_cast<uint8_t>(std::strlen(text));
  std::memcpy(type.text, text, type.length);
  return type;
}

} // namespace

const char *version3IdentifierOf(const char *identifierV22) {
  for (const IdentifierPair &pair : VERSION3_IDENTIFIERS) {
    if (std::strcmp(pair.v22, identifierV22) == 0) {
      return pair.v23;
    }
  }
  return nullptr;
}

MimeType mimeTypeOfImageFormat(const uint8_t format[3]) {
  for (const ImageFormat &known : IMAGE_FORMATS) {
    size_t same = 0;
    while (same < IMAGE_FORMAT_SIZE &&
           upper(format[same]) == static_cast<uint8_t>(known.format[same])) {
      ++same;
    }
    if (same == IMAGE_FORMAT_SIZE) {
      return mimeTypeOf(known.mimeType);
    }
  }
  // Another format of letters and digits names its image type ("TIF" gives
  // "image/tif"); anything else (zeros, spaces) names no type at all.
  MimeType type = mimeTypeOf(MIME_TYPE_IMAGE);
  for (size_t i = 0; i < IMAGE_FORMAT_SIZE; ++i) {
    if (!isAsciiAlphanumeric(format[i])) {
      return mimeTypeOf(MIME_TYPE_IMAGE);
    }
    type.text[type.length++] = static_cast<char>(lower(format[i]));
  }
  return type;
}

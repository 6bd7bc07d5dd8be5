#include "engine/id3v1.h"

#include "engine/ansi_text.h"
#include "engine/frame_fields.h"
#include "engine/text_values.h"

#include <cstring>
#include <vector>

namespace {

const uint8_t ID3V1_IDENTIFIER[3] = {'T', 'A', 'G'};

// The genres of ID3v1 (0 to 79) and the extensions that Winamp added, which
// every reader since knows (80 to 191).
// clang-format off
const char *const GENRE_NAMES[] = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz",
    "Metal", "New Age", "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno",
    "Industrial", "Alternative", "Ska", "Death Metal", "Pranks", "Soundtrack", "Euro-Techno",
    "Ambient", "Trip-Hop", "Vocal", "Jazz+Funk", "Fusion", "Trance", "Classical", "Instrumental",
    "Acid", "House", "Game", "Sound Clip", "Gospel", "Noise", "Alt. Rock", "Bass", "Soul", "Punk",
    "Space", "Meditative", "Instrumental Pop", "Instrumental Rock", "Ethnic", "Gothic", "Darkwave",
    "Techno-Industrial", "Electronic", "Pop-Folk", "Eurodance", "Dream", "Southern Rock", "Comedy",
    "Cult", "Gangsta Rap", "Top 40", "Christian Rap", "Pop/Funk", "Jungle", "Native American",
    "Cabaret", "New Wave", "Psychedelic", "Rave", "Showtunes", "Trailer", "Lo-Fi", "Tribal",
    "Acid Punk", "Acid Jazz", "Polka", "Retro", "Musical", "Rock & Roll", "Hard Rock", "Folk",
    "Folk-Rock", "National Folk", "Swing", "Fast-Fusion", "Bebop", "Latin", "Revival", "Celtic",
    "Bluegrass", "Avantgarde", "Gothic Rock", "Progressive Rock", "Psychedelic Rock",
    "Symphonic Rock", "Slow Rock", "Big Band", "Chorus", "Easy Listening", "Acoustic", "Humour",
    "Speech", "Chanson", "Opera", "Chamber Music", "Sonata", "Symphony", "Booty Bass", "Primus",
    "Porn Groove", "Satire", "Slow Jam", "Club", "Tango", "Samba", "Folklore", "Ballad",
    "Power Ballad", "Rhythmic Soul", "Freestyle", "Duet", "Punk Rock", "Drum Solo", "A Cappella",
    "Euro-House", "Dance Hall", "Goa", "Drum & Bass", "Club-House", "Hardcore", "Terror", "Indie",
    "BritPop", "Afro-Punk", "Polsk Punk", "Beat", "Christian Gangsta Rap", "Heavy Metal",
    "Black Metal", "Crossover", "Contemporary Christian", "Christian Rock", "Merengue", "Salsa",
    "Thrash Metal", "Anime", "JPop", "Synthpop", "Abstract", "Art Rock", "Baroque", "Bhangra",
    "Big Beat", "Breakbeat", "Chillout", "Downtempo", "Dub", "EBM", "Eclectic", "Electro",
    "Electroclash", "Emo", "Experimental", "Garage", "Global", "IDM", "Illbient", "Industro-Goth",
    "Jam Band", "Krautrock", "Leftfield", "Lounge", "Math Rock", "New Romantic", "Nu-Breakz",
    "Post-Punk", "Post-Rock", "Psytrance", "Shoegaze", "Space Rock", "Trop Rock", "World Music",
    "Neoclassical", "Audiobook", "Audio Theatre", "Neue Deutsche Welle", "Podcast", "Indie Rock",
    "G-Funk", "Dubstep", "Garage Rock", "Psybient"
};
// clang-format on
constexpr size_t GENRE_COUNT = sizeof GENRE_NAMES / sizeof GENRE_NAMES[0];

// The frames each field is made from, by identifier in versions 3 and 4,
// and in version 2; the first of each, and the comment commentRank puts
// first. No slot: TDRC, the year of a tag without TYER.
struct SourceFrame {
  const char *identifier;
  const char *identifierV2;
  FrameData Id3v1Sources::*slot;
};

const SourceFrame SOURCE_FRAMES[] = {
    {"TIT2", "TT2", &Id3v1Sources::title},
    {"TPE1", "TP1", &Id3v1Sources::artist},
    {"TALB", "TAL", &Id3v1Sources::album},
    {"TYER", "TYE", &Id3v1Sources::year},
    {"TDRC", "", nullptr},
    {"COMM", "COM", &Id3v1Sources::comment},
    {"TRCK", "TRK", &Id3v1Sources::track},
    {"TCON", "TCO", &Id3v1Sources::genre},
};

constexpr size_t DIGITS_AT_MOST = 3; // a track or genre number up to 255

// No encoding takes more than four bytes for a byte of code page 932 text
// (four bytes of UTF-8 or UTF-16 outside it become two '?'), so the first
// bytes of a text, with room for a byte-order mark and a character cut in
// two, give more than any field holds: only those are converted, whatever a
// frame's length.
constexpr size_t SOURCE_BYTES_AT_MOST = 4 * ID3V1_TEXT_SIZE + 8;

struct ConvertedStart {
  uint8_t bytes[SOURCE_BYTES_AT_MOST];
  size_t length;
};

// The start of the first value of a frame's text, from `offset` on, as the
// title frames are converted; empty for an encoding the engine does not know.
ConvertedStart convertStart(FrameData frame, size_t offset, TextSettings settings) {
  ConvertedStart converted{};
  if (frame.bytes == nullptr || frame.length <= offset || frame.bytes[0] > TEXT_ENCODING_UTF8)
    return converted;
  const size_t available = frame.length - offset;
  const size_t length = available < SOURCE_BYTES_AT_MOST ? available : SOURCE_BYTES_AT_MOST;
  if (!convertFrameText(frame.bytes + offset, length, frame.bytes[0], false, settings,
                        converted.bytes, sizeof converted.bytes, converted.length))
    converted.length = 0;
  return converted;
}

void putText(const ConvertedStart &text, uint8_t *field, size_t size) {
  std::memcpy(field, text.bytes, wholeCharacters(text.bytes, text.length, size));
}

// Where the description and the text of a COMM frame begin, by its layout
// in the frame table (a comment of no text begins at the end); false when
// its fields do not parse.
bool commentStarts(FrameData comment, size_t &description, size_t &text) {
  std::vector<FieldSpan> spans;
  if (comment.bytes == nullptr || comment.length == 0 ||
      !splitFrameFields(comment.bytes, comment.length, *frameFieldsOf("COMM"), spans))
    return false;
  size_t texts = 0;
  text = comment.length;
  for (const FieldSpan &span : spans) {
    if (span.use != SpanUse::Text)
      continue;
    if (texts++ == 0)
      description = span.start;
    else if (texts == 2)
      text = span.start;
  }
  return texts > 0;
}

bool isDigit(uint8_t c) {
  return c >= '0' && c <= '9';
}

// The number the text starts with (at most three digits), or -1.
int leadingNumber(const uint8_t *text, size_t length) {
  int value = -1;
  for (size_t i = 0; i < length && i < DIGITS_AT_MOST && isDigit(text[i]); ++i)
    value = (value < 0 ? 0 : value * 10) + (text[i] - '0');
  return value;
}

uint8_t genreOf(FrameData frame) {
  const ConvertedStart text = convertStart(frame, 1, TextSettings{false});
  // Version 3 refers to the list as "(17)", often followed by the name;
  // version 4 gives the number alone.
  const bool reference = text.length > 0 && text.bytes[0] == '(';
  const uint8_t *digits = text.bytes + (reference ? 1 : 0);
  const size_t digitCount = text.length - (reference ? 1 : 0);
  size_t end = 0;
  while (end < digitCount && isDigit(digits[end]))
    ++end;
  const bool number =
      end > 0 && (reference ? end < digitCount && digits[end] == ')' : end == digitCount);
  if (!number)
    return genreNumber(reinterpret_cast<const char *>(text.bytes), text.length);
  const int value = end <= DIGITS_AT_MOST ? leadingNumber(digits, end) : -1;
  return value >= 0 && static_cast<size_t>(value) < GENRE_COUNT ? static_cast<uint8_t>(value)
                                                                : ID3V1_NO_GENRE;
}

uint8_t lowerCase(uint8_t c) {
  return c >= 'A' && c <= 'Z' ? static_cast<uint8_t>(c - 'A' + 'a') : c;
}

// A field's length up to its first zero byte, trailing spaces dropped.
size_t shownLength(const uint8_t *field, size_t size) {
  const void *zero = std::memchr(field, 0, size);
  size_t length =
      zero == nullptr ? size : static_cast<size_t>(static_cast<const uint8_t *>(zero) - field);
  while (length > 0 && field[length - 1] == ' ')
    --length;
  return length;
}

bool sameField(const uint8_t *field, const uint8_t *other, size_t size) {
  const size_t length = shownLength(field, size);
  return length == shownLength(other, size) && std::memcmp(field, other, length) == 0;
}

} // namespace

bool isId3v1Tag(const uint8_t *bytes) {
  return std::memcmp(bytes, ID3V1_IDENTIFIER, sizeof ID3V1_IDENTIFIER) == 0;
}

size_t wholeCharacters(const uint8_t *text, size_t length, size_t room) {
  size_t end = 0;
  while (end < length) {
    const size_t size = isCp932LeadByte(text[end]) && end + 1 < length ? 2 : 1;
    if (end + size > room)
      break;
    end += size;
  }
  return end;
}

int commentRank(FrameData comment) {
  size_t descriptionStart = 0;
  size_t textStart = 0;
  if (!commentStarts(comment, descriptionStart, textStart))
    return -1;
  const ConvertedStart description = convertStart(comment, descriptionStart, TextSettings{false});
  if (description.length == 0)
    return 2;
  // iTunes keeps machine-readable notes in comments described "iTunNORM",
  // "iTunSMPB" and the like: hex numbers, never a comment to show.
  static const char ITUNES[] = "iTun";
  const bool itunes = description.length >= sizeof ITUNES - 1 &&
                      std::memcmp(description.bytes, ITUNES, sizeof ITUNES - 1) == 0;
  return itunes ? 0 : 1;
}

void buildId3v1Tag(const Id3v1Sources &sources, TextSettings settings,
                   uint8_t out[ID3V1_TAG_SIZE]) {
  Id3v1Tag tag{};
  std::memcpy(tag.identifier, ID3V1_IDENTIFIER, sizeof tag.identifier);
  putText(convertStart(sources.title, 1, settings), tag.title, sizeof tag.title);
  putText(convertStart(sources.artist, 1, settings), tag.artist, sizeof tag.artist);
  putText(convertStart(sources.album, 1, settings), tag.album, sizeof tag.album);
  const ConvertedStart year = convertStart(sources.year, 1, TextSettings{false});
  bool fourDigits = year.length >= ID3V1_YEAR_SIZE;
  for (size_t i = 0; fourDigits && i < ID3V1_YEAR_SIZE; ++i)
    fourDigits = isDigit(year.bytes[i]);
  if (fourDigits)
    std::memcpy(tag.year, year.bytes, ID3V1_YEAR_SIZE);
  size_t descriptionStart = 0;
  size_t textStart = 0;
  if (commentStarts(sources.comment, descriptionStart, textStart))
    putText(convertStart(sources.comment, textStart, settings), tag.comment, sizeof tag.comment);
  const ConvertedStart track = convertStart(sources.track, 1, TextSettings{false});
  const int number = leadingNumber(track.bytes, track.length);
  tag.track = number >= 1 && number <= 255 ? static_cast<uint8_t>(number) : 0;
  tag.genre = sources.genre.bytes == nullptr ? ID3V1_NO_GENRE : genreOf(sources.genre);
  std::memcpy(out, &tag, sizeof tag);
}

void buildId3v1TagFor(FileImage tagRegion, TextSettings settings, uint8_t out[ID3V1_TAG_SIZE]) {
  buildId3v1TagFor(tagRegion, walkTag(tagRegion), settings, out);
}

void buildId3v1TagFor(FileImage tagRegion, const TagRecord &record, TextSettings settings,
                      uint8_t out[ID3V1_TAG_SIZE]) {
  Id3v1Sources sources{};
  FrameData recordingTime{}; // TDRC, for a tag without TYER
  for (const TagFrame &frame : record.frames) {
    if (frame.storedTransformed)
      continue;
    const FrameData data{tagRegion.bytes + frame.data.start, frame.data.length};
    for (const SourceFrame &source : SOURCE_FRAMES) {
      if (std::strcmp(frame.identifier, source.identifier) != 0 &&
          std::strcmp(frame.identifier, source.identifierV2) != 0)
        continue;
      FrameData &slot = source.slot == nullptr ? recordingTime : sources.*source.slot;
      const bool better = source.slot == &Id3v1Sources::comment
                              ? commentRank(data) > commentRank(slot)
                              : slot.bytes == nullptr;
      if (better)
        slot = data;
    }
  }
  if (sources.year.bytes == nullptr)
    sources.year = recordingTime;
  buildId3v1Tag(sources, settings, out);
}

uint8_t genreNumber(const char *name, size_t length) {
  for (size_t number = 0; number < GENRE_COUNT; ++number) {
    const char *candidate = GENRE_NAMES[number];
    size_t i = 0;
    while (i < length && candidate[i] != '\0' &&
           lowerCase(static_cast<uint8_t>(candidate[i])) ==
               lowerCase(static_cast<uint8_t>(name[i])))
      ++i;
    if (i == length && candidate[i] == '\0')
      return static_cast<uint8_t>(number);
  }
  return ID3V1_NO_GENRE;
}

const char *genreName(uint8_t number) {
  return number < GENRE_COUNT ? GENRE_NAMES[number] : nullptr;
}

unsigned id3v1Differences(const uint8_t *tag, const uint8_t *other) {
  Id3v1Tag first;
  Id3v1Tag second;
  std::memcpy(&first, tag, sizeof first);
  std::memcpy(&second, other, sizeof second);
  unsigned differences = 0;
  if (!sameField(first.title, second.title, sizeof first.title))
    differences |= ID3V1_TITLE;
  if (!sameField(first.artist, second.artist, sizeof first.artist))
    differences |= ID3V1_ARTIST;
  if (!sameField(first.album, second.album, sizeof first.album))
    differences |= ID3V1_ALBUM;
  if (!sameField(first.year, second.year, sizeof first.year))
    differences |= ID3V1_YEAR;
  return differences;
}

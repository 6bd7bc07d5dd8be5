// The ID3v1 tag: the last 128 bytes of a file, which older units read alone.
// Sorabun writes it in the ID3v1.1 layout (a track number in the last two
// bytes of the comment) with its texts in the ANSI code page, made from the
// frames of the ID3v2 tag.
#pragma once

#include "engine/tag_layout.h"
#include "engine/text_values.h"

#include <cstddef>
#include <cstdint>

constexpr uint32_t ID3V1_TAG_SIZE = 128;
constexpr size_t ID3V1_TEXT_SIZE = 30;
constexpr size_t ID3V1_YEAR_SIZE = 4;
constexpr size_t ID3V1_COMMENT_SIZE = 28;
constexpr uint8_t ID3V1_NO_GENRE = 255;

// 128 bytes at the end of the file. Texts are zero-padded.
struct Id3v1Tag {
  uint8_t identifier[3]; // "TAG"
  uint8_t title[ID3V1_TEXT_SIZE];
  uint8_t artist[ID3V1_TEXT_SIZE];
  uint8_t album[ID3V1_TEXT_SIZE];
  uint8_t year[ID3V1_YEAR_SIZE];
  uint8_t comment[ID3V1_COMMENT_SIZE];
  uint8_t trackMarker; // 0 in ID3v1.1: the track follows; else the comment's 29th byte
  uint8_t track;       // 0: none (or the comment's last byte in ID3v1.0)
  uint8_t genre;       // an index into the genre list; 255: none
};
static_assert(sizeof(Id3v1Tag) == ID3V1_TAG_SIZE, "Id3v1Tag is a 128-byte layout");

// The data of one ID3v2 frame, its text encoding byte first; {nullptr, 0}
// when the tag has no such frame.
struct FrameData {
  const uint8_t *bytes;
  uint32_t length;
};

// The frames an ID3v1 tag is made from (version 2's three-character frames
// alike).
struct Id3v1Sources {
  FrameData title;   // TIT2
  FrameData artist;  // TPE1
  FrameData album;   // TALB
  FrameData year;    // TYER, or TDRC: its first four digits
  FrameData comment; // COMM, the one commentRank puts first
  FrameData track;   // TRCK: "3" or "3/12"
  FrameData genre;   // TCON: "17", "(17)", "(17)Rock" or a name on the list
};

// Whether 128 bytes are an ID3v1 tag.
bool isId3v1Tag(const uint8_t *bytes);

// The tag for these frames: texts converted as the title frames are, with
// settings, and cut at a character boundary, never inside a double-byte
// character.
void buildId3v1Tag(const Id3v1Sources &sources, TextSettings settings, uint8_t out[ID3V1_TAG_SIZE]);

// The tag for the ID3v2 tag at the start of tagRegion, one that rewriteTag
// accepts.
void buildId3v1TagFor(FileImage tagRegion, TextSettings settings, uint8_t out[ID3V1_TAG_SIZE]);
// The same for a tag already walked: record is walkTag(tagRegion).
void buildId3v1TagFor(FileImage tagRegion, const TagRecord &record, TextSettings settings,
                      uint8_t out[ID3V1_TAG_SIZE]);

// Which of several COMM frames is the comment to keep: the highest rank,
// the first of equals.
int commentRank(FrameData comment);

// How many bytes of a code page 932 text fit in room without cutting a
// double-byte character.
size_t wholeCharacters(const uint8_t *text, size_t length, size_t room);

// The genre list's number for a name (letter case ignored), or 255.
uint8_t genreNumber(const char *name, size_t length);
// The name of a genre number, or nullptr when the list has none.
const char *genreName(uint8_t number);

// The fields that a unit shows as text and on which two tags differ, as
// Id3v1Field bits; 0 when they agree. A field ends at its first zero byte;
// trailing spaces do not count (some writers pad with spaces).
enum Id3v1Field : unsigned {
  ID3V1_TITLE = 1,
  ID3V1_ARTIST = 2,
  ID3V1_ALBUM = 4,
  ID3V1_YEAR = 8,
};
unsigned id3v1Differences(const uint8_t *tag, const uint8_t *other);

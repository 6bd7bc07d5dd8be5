// The in-memory rewrite of a file's ID3v2 tag: the texts of the title,
// artist and album frames (or, on request, every encoded string of every
// frame) re-encoded into the ANSI code page; on request, the tag written as
// version 2.3.
#pragma once

#include "engine/tag_layout.h"
#include "engine/text_values.h"

#include <cstdint>

constexpr size_t TARGET_FRAME_COUNT = 3;
extern const char *const TARGET_FRAME_IDS[TARGET_FRAME_COUNT];     // "TPE1", "TALB", "TIT2"
extern const char *const TARGET_FRAME_IDS_V22[TARGET_FRAME_COUNT]; // "TP1", "TAL", "TT2"

// Which frames a rewrite converts.
enum class FrameScope {
  TitleFrames, // the title, artist and album frames
  AllFrames,   // every encoded string of every frame that has one (frame_fields.h)
};

// The version a rewrite writes the tag in.
enum class TagVersion : uint8_t {
  AsRead,   // the tag's own, every byte kept but those of the converted strings
  Version3, // version 2.3, for units that read nothing newer (VersionChanges says how)
};

// What a rewrite converts, and how.
struct RewriteSettings {
  FrameScope scope;
  TextSettings text;
  TagVersion version = TagVersion::AsRead;
};

// What a rewrite (or the listing of what it would convert) decides.
enum class RewriteKind {
  Rewritten,   // length holds the output length; for a listing, the rewrite would go ahead
  Refused,     // the version gate said no; the caller ends silently
  Unsupported, // a tag feature the rewrite cannot carry over faithfully
  Damaged,     // sizes that do not fit the file
};

struct RewriteOutcome {
  RewriteKind kind;
  RewriteReason reason;
  uint32_t length; // output bytes, for Rewritten only
};

// The frames that an AllFrames rewrite left as they are, because their
// data is stored compressed or encrypted or does not parse as their fields;
// with version 2.3 output, also those in any scope whose strings in UTF-8
// or UTF-16BE stay so because their fields do not parse. The title frames
// are never among them: what stops their conversion stops the rewrite.
constexpr size_t FRAMES_LEFT_NAMED = 8;
struct FramesLeft {
  uint32_t count; // frames left
  uint32_t named; // distinct identifiers below, the first FRAMES_LEFT_NAMED of them
  char identifiers[FRAMES_LEFT_NAMED][5];
};

// ---- Version 2.3 output ------------------------------------------------------
//
// With TagVersion::Version3 the tag is written as version 2.3 (header 03 00),
// keeping every frame: version 2.4 frame sizes become plain numbers, frame
// flags and the bytes they add move to their version 2.3 places, the
// extended header (its CRC and restrictions mean nothing after a rewrite)
// and the footer are dropped; unsynchronisation, of the tag or of a frame,
// is undone and never written; strings in UTF-8 or UTF-16BE become UTF-16
// with a byte-order mark unless converted into the code page anyway; a
// text frame's values are joined with "/"; TDRC, TDOR, TIPL and TMCL get
// their version 2.3 counterparts beside them; version 2.2 frames get their
// version 2.3 identifiers. The padding keeps its length and every byte
// after the tag is kept; the tag may grow. A version 2.3 tag with none of
// these (no unsynchronisation, no UTF-8, no values after a terminator) gets
// exactly the ordinary conversion.

// Why a tag asked to become version 2.3 got the ordinary conversion (its
// own version) instead.
enum class Version3Obstacle : uint8_t {
  None,                  // written as version 2.3, or not asked
  TagNotRewritten,       // the tag is not rewritten at all: the outcome says why
  CompressedWithoutSize, // a version 2.4 frame compressed without a data length indicator,
                         // whose decompressed size version 2.3 must give
  FrameFlagsUnknown,     // a version 2.4 frame with format flags of no meaning, or without
                         // the bytes its flags add
  EmptyFrame,            // a version 2.4 frame of nothing but its data length indicator:
                         // version 2.3 readers take a frame of no bytes for the padding
  TagTooLarge,           // the version 2.3 tag would not fit the 28 bits of its size
  BuffersTooSmall,       // the output or scratch buffer is smaller than rewriteNeedsOf says
};

// What became of a frame in version 2.3.
enum class FrameChange : uint8_t {
  Renamed,   // a version 2.2 frame under its version 2.3 identifier (PIC as APIC)
  Added,     // a version 2.3 counterpart added beside a version 2.4 frame (TYER for TDRC)
  Joined,    // a text frame's values joined with "/" into one (TCON's genre numbers as "(n)")
  Reencoded, // strings in UTF-8 or UTF-16BE written as UTF-16: counted, not named
};
constexpr size_t FRAME_CHANGE_KINDS = 4;

struct NamedFrameChange {
  FrameChange change;
  char identifier[5]; // the frame read: "TT2", "TDRC", "TPE1"; "TIPL" for IPLS from TIPL+TMCL
  char result[5];     // the frame written: "TIT2", "TYER", "TPE1"
};

// What a version 2.3 rewrite did. Bounded: the first changes are named.
constexpr size_t FRAME_CHANGES_NAMED = 16;
struct VersionChanges {
  Version3Obstacle obstacle;
  bool converted;                                // the tag was written as version 2.3
  uint8_t majorVersionRead;                      // 2, 3 or 4 ("2.4 -> 2.3")
  uint32_t tagLengthRead;                        // header to padding, the footer included
  uint32_t tagLengthWritten;                     // the same for the tag written (when converted)
  uint32_t counts[FRAME_CHANGE_KINDS];           // by FrameChange
  uint32_t named;                                // entries of changes (Reencoded is not among them)
  NamedFrameChange changes[FRAME_CHANGES_NAMED]; // in tag order, the added frames last
  FramesLeft leftOut; // version 2.2 frames with no version 2.3 counterpart, left out of the tag
};

// What a rewrite reports besides its outcome.
struct RewriteReport {
  FramesLeft left;        // the frames whose strings it left as they are
  VersionChanges version; // for TagVersion::Version3
};

// The buffers a rewrite writes into; the caller allocates them.
struct RewriteBuffers {
  uint8_t *output; // the whole new file content
  uint32_t outputCapacity;
  uint8_t *scratch; // version 2.3 output of an unsynchronised tag: the tag with its
                    // unsynchronisation undone (resynchroniseTag), which the rewrite reads
  uint32_t scratchCapacity;
};

// The buffers a rewrite of a walked tag needs, for the caller to allocate
// before it rewrites: output never longer than outputLength (at least
// input.length; more for version 2.3 output, which may grow the tag), and
// scratchLength bytes of scratch (0 but for version 2.3 output of a tag
// with unsynchronisation). record is walkTag(input).
struct RewriteNeeds {
  uint64_t outputLength;
  uint32_t scratchLength;
};
RewriteNeeds rewriteNeedsOf(FileImage input, const TagRecord &record, RewriteSettings settings);

// The rewrite: input is the whole file, beginning with "ID3", and record
// walkTag(input); buffers.outputCapacity is at least input.length (else
// nothing is written: Unsupported, TextDoesNotFit). Never reads or writes
// outside the buffers. Converts the frames and texts that settings choose,
// in the version it chooses; with buffers smaller than rewriteNeedsOf
// gives, a version 2.3 tag that does not fit becomes the ordinary
// conversion (Version3Obstacle::BuffersTooSmall).
RewriteOutcome rewriteTag(FileImage input, const TagRecord &record, RewriteBuffers buffers,
                          RewriteSettings settings, RewriteReport &report);

// input: the whole file, beginning with "ID3"; output: a buffer of at least
// input.length bytes (version 2.3 output may need more and a scratch buffer:
// the form with RewriteBuffers gives it them). Never reads or writes outside
// either buffer. Converts the frames and texts that settings choose; left
// receives the frames left as they are.
RewriteOutcome rewriteTag(FileImage input, uint8_t *output, RewriteSettings settings,
                          FramesLeft &left);
// The same for a tag already walked: record is walkTag(input).
RewriteOutcome rewriteTag(FileImage input, const TagRecord &record, uint8_t *output,
                          RewriteSettings settings, FramesLeft &left);

// One string of a frame as it stands in the tag, for showing what a rewrite
// would change.
struct TargetText {
  char identifier[5];  // zero-terminated: "TIT2", or "TT2" in version 2
  uint8_t encoding;    // the frame's text encoding byte
  bool isList;         // a version 4 text frame's values, separated by terminators
  const uint8_t *text; // inside the input: a text frame's data after the encoding byte, or
                       // one string of another frame, its terminator included
  uint32_t length;
  uint32_t shownLength; // FrameString::shownLength: less than length when a reader of
                        // version 2.3 drops the values after the first
};

// Makes the checks rewriteTag makes and, when it would rewrite, lists the
// strings it would convert in the frames of scope (readFrameStrings: every
// text frame's text; of other frames, the strings that hold a character),
// in tag order: at most capacity of them, count receiving how many were
// listed. Returns what rewriteTag's checks gave (length 0); a text that
// would not fit is rewriteTag's to find.
RewriteOutcome listTargetTexts(FileImage input, FrameScope scope, TargetText *texts,
                               size_t capacity, size_t &count);
// The same for a tag already walked: record is walkTag(input).
RewriteOutcome listTargetTexts(FileImage input, const TagRecord &record, FrameScope scope,
                               TargetText *texts, size_t capacity, size_t &count);

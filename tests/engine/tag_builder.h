// Builds ID3v2 tags byte by byte for the engine's tests, so that a case reads
// as the frames it holds rather than as a wall of hex.
#pragma once

#include "engine/rewrite_tag.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;
// For loops over versions and encodings: for (uint8_t major : ByteList{3, 4})
using ByteList = std::initializer_list<uint8_t>;

Bytes operator+(Bytes left, const Bytes &right);

// The bytes of a string (ASCII or UTF-8), without a terminator.
Bytes ascii(const std::string &text);
// The first `length` bytes at `text`, zero bytes included.
Bytes ascii(const char *text, size_t length);
// `count` copies of `value`.
Bytes repeat(uint8_t value, size_t count);
Bytes utf16le(const std::u16string &text);
Bytes utf16be(const std::u16string &text);

const Bytes BOM_LE = {0xFF, 0xFE};
const Bytes BOM_BE = {0xFE, 0xFF};
const Bytes BOM_UTF8 = {0xEF, 0xBB, 0xBF};
const Bytes ZERO = {0x00};
const Bytes ZERO16 = {0x00, 0x00};
// Stands for the MPEG audio after the tag.
const Bytes AUDIO = {0xFF, 0xFB, 0x90, 0x64, 0x00, 0x0F, 0xF0, 0x00, 0x00, 0x69, 0x0B};

enum class SizeStyle {
  Native,    // what the version prescribes: synchsafe for 4, plain for 3 and 2
  Synchsafe, // 4 synchsafe bytes
  Plain,     // 4 plain big-endian bytes (3 in version 2)
};

Bytes synchsafeBytes(uint32_t value);
Bytes plainBytes(uint32_t value, size_t count = 4);

// One frame: header (10 bytes, or 6 with a 3-character identifier in version 2)
// and data. Version 2 headers have no flags.
Bytes frame(uint8_t major, const std::string &id, const Bytes &data,
            SizeStyle style = SizeStyle::Native, uint8_t statusFlags = 0, uint8_t formatFlags = 0);
// A frame header whose size field says `declaredSize`, whatever data follows.
Bytes frameHeader(uint8_t major, const std::string &id, uint32_t declaredSize,
                  SizeStyle style = SizeStyle::Native, uint8_t statusFlags = 0,
                  uint8_t formatFlags = 0);

// Version 3 extended header: plain size counting the bytes after its own
// four (6, or 10 with the CRC), two flag bytes, padding size, then the CRC.
Bytes extendedHeaderV3(bool crc);
// Version 4 extended header: synchsafe size counting itself, one flag-byte
// count, the flag byte, then each flag's data.
Bytes extendedHeaderV4(uint8_t flags, const Bytes &flagData = {});

struct TagParts {
  uint8_t major = 4;
  uint8_t revision = 0;
  uint8_t flags = 0; // 0x40 is added when extendedHeader is not empty (versions 3 and 4)
  Bytes extendedHeader;
  std::vector<Bytes> frames;
  size_t padding = 0;
  bool footer = false; // "3DI" repeating the header after the tag; sets flag 0x10
  Bytes audio = AUDIO;
  std::optional<uint32_t> tagSize; // replaces the size computed from the content
};

Bytes buildTag(const TagParts &parts);
Bytes buildTag(uint8_t major, const std::vector<Bytes> &frames, size_t padding = 0);

struct RewriteRun {
  RewriteOutcome outcome;
  Bytes output; // the first outcome.length bytes, for Rewritten only
};

// Runs the rewrite with input and output each in a heap block of exactly N
// bytes, so the sanitizer sees any access past either end.
RewriteRun runRewrite(const Bytes &input, TextSettings settings = TextSettings{false});

struct Version3Run {
  RewriteOutcome outcome;
  RewriteReport report;
  Bytes output;         // the first outcome.length bytes, for Rewritten only
  uint64_t outputBound; // rewriteNeedsOf's output length
};

// The rewrite into version 2.3 with exact-size heap buffers of the sizes
// rewriteNeedsOf gives (output capacity overrides the output's).
Version3Run runVersion3(const Bytes &input, FrameScope scope = FrameScope::TitleFrames,
                        std::optional<uint32_t> capacity = std::nullopt);

// The bytes with unsynchronisation applied: a zero byte after every 0xFF
// that a zero or a byte of 0xE0 or more follows.
Bytes unsynchronised(const Bytes &bytes);

std::string hex(const Bytes &bytes);
const char *kindName(RewriteKind kind);
const char *reasonName(RewriteReason reason);

// The rewrite succeeds and gives exactly `expected`.
testing::AssertionResult rewritesTo(const Bytes &input, const Bytes &expected,
                                    TextSettings settings = TextSettings{false});
// The rewrite ends with this kind and reason.
testing::AssertionResult endsAs(const Bytes &input, RewriteKind kind, RewriteReason reason);

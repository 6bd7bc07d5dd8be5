// Properties of the rewrite over thousands of generated and mutated tags:
// bounds (the sanitizer build watches every access), lengths, untouched
// frames, consistent sizes, and a second rewrite that changes nothing.
#include "tests/engine/tag_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// splitmix64: the same sequence on every platform and compiler.
struct Prng {
  uint64_t state;
};

uint64_t nextRandom(Prng &prng) {
  prng.state += 0x9E3779B97F4A7C15ull;
  uint64_t z = prng.state;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

uint32_t below(Prng &prng, size_t bound) {
  return static_cast<uint32_t>(nextRandom(prng) % bound);
}

bool chance(Prng &prng, uint32_t percent) {
  return below(prng, 100) < percent;
}

uint8_t randomByte(Prng &prng) {
  return static_cast<uint8_t>(nextRandom(prng) & 0xFFu);
}

uint8_t nonZeroByte(Prng &prng) {
  return static_cast<uint8_t>(1 + below(prng, 255));
}

Bytes randomBytes(Prng &prng, size_t count) {
  Bytes bytes(count);
  for (uint8_t &byte : bytes) {
    byte = randomByte(prng);
  }
  return bytes;
}

// ---- Generation -----------------------------------------------------------

char16_t randomUnit(Prng &prng) {
  static const char16_t specials[] = {0xFF5E, 0x301C, 0x00E9, 0x00A5,
                                      0xFF71, 0x2212, 0x9AD9, 0xFEFF};
  switch (below(prng, 6)) {
  case 0:
    return static_cast<char16_t>(0x20 + below(prng, 0x5F));
  case 1:
    return static_cast<char16_t>(0x3041 + below(prng, 0x53));
  case 2:
    return static_cast<char16_t>(0x4E00 + below(prng, 0x51A6));
  case 3:
    return specials[below(prng, sizeof specials / sizeof specials[0])];
  case 4:
    return static_cast<char16_t>(0xD800 + below(prng, 0x800));
  default:
    return static_cast<char16_t>(1 + below(prng, 0xFFFF));
  }
}

void appendUtf8(Bytes &out, uint32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<uint8_t>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<uint8_t>(0xC0 | (c >> 6)));
    out.push_back(static_cast<uint8_t>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<uint8_t>(0xE0 | (c >> 12)));
    out.push_back(static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<uint8_t>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<uint8_t>(0xF0 | (c >> 18)));
    out.push_back(static_cast<uint8_t>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<uint8_t>(0x80 | (c & 0x3F)));
  }
}

size_t randomLength(Prng &prng) {
  return chance(prng, 5) ? 150 + below(prng, 200) : below(prng, 16);
}

// One value of a text frame, without its terminator.
Bytes randomValue(Prng &prng, uint8_t encoding) {
  const size_t length = randomLength(prng);
  Bytes value;
  if (encoding == 0) {
    for (size_t i = 0; i < length; ++i) {
      value.push_back(nonZeroByte(prng));
    }
    return value;
  }
  if (encoding == 3) {
    if (chance(prng, 20)) {
      value = BOM_UTF8;
    }
    for (size_t i = 0; i < length; ++i) {
      if (chance(prng, 10)) {
        value.push_back(nonZeroByte(prng)); // often ill-formed
      } else if (chance(prng, 5)) {
        appendUtf8(value, 0x10000 + below(prng, 0x100000));
      } else {
        char16_t unit = randomUnit(prng);
        appendUtf8(value, unit >= 0xD800 && unit < 0xE000 ? 0xFFFD : unit);
      }
    }
    return value;
  }
  const bool bigEndian = encoding == 2 || chance(prng, 30);
  if (chance(prng, encoding == 1 ? 80 : 30)) {
    value = bigEndian ? BOM_BE : BOM_LE;
  }
  std::u16string units;
  for (size_t i = 0; i < length; ++i) {
    units += randomUnit(prng);
  }
  return value + (bigEndian ? utf16be(units) : utf16le(units));
}

Bytes randomText(Prng &prng, uint8_t encoding) {
  const Bytes terminator = encoding == 1 || encoding == 2 ? ZERO16 : ZERO;
  Bytes data = {encoding};
  const uint32_t values = 1 + below(prng, 3);
  for (uint32_t i = 0; i < values; ++i) {
    data = data + randomValue(prng, encoding);
    if (i + 1 < values || chance(prng, 60)) {
      data = data + terminator;
    }
  }
  if (chance(prng, 10)) {
    data = data + terminator;
  }
  if ((encoding == 1 || encoding == 2) && chance(prng, 5)) {
    data.push_back(nonZeroByte(prng));
  }
  return data;
}

Bytes randomFrame(Prng &prng, uint8_t layout, SizeStyle style) {
  static const char *const targets4[] = {"TIT2", "TPE1", "TALB"};
  static const char *const others4[] = {"APIC", "COMM", "TXXX", "TPE2", "PRIV", "TYER", "TCON"};
  static const char *const targets2[] = {"TT2", "TP1", "TAL"};
  static const char *const others2[] = {"PIC", "COM", "TXX", "TP2", "TT1", "TYE"};
  const bool v2 = layout == 2;
  const uint8_t status =
      layout == 2 ? 0 : static_cast<uint8_t>(randomByte(prng) & (layout == 3 ? 0xE0 : 0x70));
  if (chance(prng, 45)) {
    const char *id = v2 ? targets2[below(prng, 3)] : targets4[below(prng, 3)];
    Bytes data = chance(prng, 3) ? Bytes{} : randomText(prng, static_cast<uint8_t>(below(prng, 4)));
    return frame(layout, id, data, style, status, 0);
  }
  const char *id = v2 ? others2[below(prng, 6)] : others4[below(prng, 7)];
  size_t size = chance(prng, 25) ? 128 + below(prng, 400) : below(prng, 60);
  const uint8_t format = chance(prng, 20) ? randomByte(prng) : 0;
  return frame(layout, id, randomBytes(prng, size), style, status, layout == 2 ? 0 : format);
}

Bytes randomTag(Prng &prng) {
  static const uint8_t majors[] = {2, 2, 3, 3, 3, 3, 4, 4, 4, 0, 1};
  TagParts parts;
  parts.major = majors[below(prng, sizeof majors)];
  parts.revision =
      static_cast<uint8_t>(chance(prng, 80) ? 0 : (parts.major == 4 ? 0 : below(prng, 10)));
  const uint8_t layout = parts.major < 2 ? 4 : parts.major;
  const SizeStyle style = layout == 4 && chance(prng, 30) ? SizeStyle::Plain : SizeStyle::Native;
  if (layout == 3 && chance(prng, 15)) {
    parts.extendedHeader = chance(prng, 50)
                               ? extendedHeaderV3(false)
                               : plainBytes(10) + Bytes{0x00, 0x00} + randomBytes(prng, 8);
  } else if (layout == 4 && chance(prng, 15)) {
    parts.extendedHeader =
        chance(prng, 50) ? extendedHeaderV4(0x00) : extendedHeaderV4(0x40, {0x00});
  }
  const uint32_t frames = below(prng, 7);
  for (uint32_t i = 0; i < frames; ++i) {
    parts.frames.push_back(randomFrame(prng, layout, style));
  }
  const uint32_t paddingKind = below(prng, 5);
  parts.padding = paddingKind == 0   ? 0
                  : paddingKind == 1 ? 200 + below(prng, 900)
                                     : below(prng, 30);
  parts.footer = layout == 4 && chance(prng, 15);
  parts.audio = randomBytes(prng, below(prng, 40));
  return buildTag(parts);
}

Bytes mutate(Prng &prng, Bytes file) {
  const uint32_t count = 1 + below(prng, 3);
  for (uint32_t i = 0; i < count && !file.empty(); ++i) {
    const size_t at = chance(prng, 50) ? below(prng, std::min<size_t>(file.size(), 64))
                                       : below(prng, file.size());
    switch (below(prng, 6)) {
    case 0:
      file[at] = static_cast<uint8_t>(file[at] ^ (1u << below(prng, 8)));
      break;
    case 1: {
      static const uint8_t values[] = {0x00, 0x7F, 0x80, 0xFF, 0x01, 0x40};
      file[at] = values[below(prng, sizeof values)];
      break;
    }
    case 2:
      file.resize(below(prng, file.size() + 1));
      break;
    case 3:
      file.insert(file.begin() + static_cast<long>(at), randomByte(prng));
      break;
    case 4:
      file.erase(file.begin() + static_cast<long>(at));
      break;
    default:
      for (size_t k = at; k < file.size() && k < at + 4; ++k) {
        file[k] = randomByte(prng);
      }
      break;
    }
  }
  // The caller has already checked the identifier.
  for (size_t k = 0; k < 3 && k < file.size(); ++k) {
    file[k] = static_cast<uint8_t>("ID3"[k]);
  }
  return file;
}

// ---- An independent reading of a rewritable tag --------------------------

struct Layout {
  uint8_t version; // 2, 3 or 4 (0 and 1 read as 4)
  size_t headerSize;
  size_t framesStart;
  size_t tagEnd;
};

bool readLayout(const Bytes &file, Layout &layout) {
  if (file.size() < 10) {
    return false;
  }
  layout.version = file[3] < 2 ? 4 : file[3];
  layout.headerSize = layout.version == 2 ? 6 : 10;
  layout.tagEnd = 10 + readSynchsafe(&file[6]);
  layout.framesStart = 10;
  if (layout.version != 2 && (file[5] & 0x40) != 0) {
    if (file.size() < 14) {
      return false;
    }
    layout.framesStart =
        layout.version == 3 ? 14 + readBigEndian(&file[10], 4) : 10 + readSynchsafe(&file[10]);
  }
  return layout.tagEnd <= file.size() && layout.framesStart <= layout.tagEnd;
}

enum class Reading { Synchsafe, Plain };

struct Walk {
  std::vector<size_t> frames; // offsets of the frame headers
  size_t stop;
  bool pastEnd;
  bool clean;
};

bool validIdentifier(const uint8_t *id, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (!((id[i] >= 'A' && id[i] <= 'Z') || (id[i] >= '0' && id[i] <= '9'))) {
      return false;
    }
  }
  return true;
}

size_t frameDataSize(const Bytes &file, size_t at, const Layout &layout, Reading reading) {
  if (layout.version == 2) {
    return readBigEndian(&file[at + 3], 3);
  }
  if (layout.version == 3 || reading == Reading::Plain) {
    return readBigEndian(&file[at + 4], 4);
  }
  return readSynchsafe(&file[at + 4]);
}

Walk walkFrames(const Bytes &file, const Layout &layout, Reading reading) {
  Walk walk{{}, layout.framesStart, false, false};
  size_t &r = walk.stop;
  const size_t idLength = layout.headerSize == 6 ? 3 : 4;
  while (r + layout.headerSize < layout.tagEnd && validIdentifier(&file[r], idLength)) {
    const size_t end = r + layout.headerSize + frameDataSize(file, r, layout, reading);
    if (end > layout.tagEnd) {
      walk.pastEnd = true;
      return walk;
    }
    walk.frames.push_back(r);
    r = end;
  }
  walk.clean = std::all_of(file.begin() + static_cast<long>(r),
                           file.begin() + static_cast<long>(layout.tagEnd),
                           [](uint8_t byte) { return byte == 0; });
  return walk;
}

Reading chooseReading(const Bytes &file, const Layout &layout) {
  if (layout.version != 4) {
    return Reading::Plain;
  }
  const Walk synchsafe = walkFrames(file, layout, Reading::Synchsafe);
  const Walk plain = walkFrames(file, layout, Reading::Plain);
  if (plain.clean && (!synchsafe.clean || plain.frames.size() > synchsafe.frames.size())) {
    return Reading::Plain;
  }
  return Reading::Synchsafe;
}

bool isTarget(const uint8_t *id, size_t idLength) {
  const char *const *ids = idLength == 3 ? TARGET_FRAME_IDS_V22 : TARGET_FRAME_IDS;
  for (size_t i = 0; i < TARGET_FRAME_COUNT; ++i) {
    if (std::memcmp(id, ids[i], idLength) == 0) {
      return true;
    }
  }
  return false;
}

Bytes slice(const Bytes &bytes, size_t from, size_t to) {
  return Bytes(bytes.begin() + static_cast<long>(from), bytes.begin() + static_cast<long>(to));
}

struct Tally {
  int rewritten = 0;
  int other = 0;
  int readingChanged = 0; // second rewrite not compared: the reading changed
};

testing::AssertionResult compareFrames(const Bytes &in, const Walk &inWalk, const Layout &inLayout,
                                       const Bytes &out, const Walk &outWalk,
                                       const Layout &outLayout, Reading reading) {
  const size_t idLength = inLayout.headerSize == 6 ? 3 : 4;
  for (size_t k = 0; k < inWalk.frames.size(); ++k) {
    const size_t i = inWalk.frames[k];
    const size_t o = outWalk.frames[k];
    const size_t inSize = frameDataSize(in, i, inLayout, reading);
    const size_t outSize = frameDataSize(out, o, outLayout, reading);
    const Bytes inFrame = slice(in, i, i + inLayout.headerSize + inSize);
    const Bytes outFrame = slice(out, o, o + outLayout.headerSize + outSize);
    if (!isTarget(&in[i], idLength) || inSize == 0) {
      if (inFrame != outFrame) {
        return testing::AssertionFailure()
               << "frame " << k << " changed: " << hex(inFrame) << " became " << hex(outFrame);
      }
      continue;
    }
    const bool flagsKept =
        inLayout.headerSize == 6 || (in[i + 8] == out[o + 8] && in[i + 9] == out[o + 9]);
    if (std::memcmp(&in[i], &out[o], idLength) != 0 || !flagsKept) {
      return testing::AssertionFailure() << "target frame " << k << " lost its identifier or flags";
    }
    const Bytes text = slice(out, o + outLayout.headerSize + 1, o + outLayout.headerSize + outSize);
    const bool terminated = inLayout.version == 4
                                ? !text.empty() && text.back() == 0
                                : std::find(text.begin(), text.end(), 0) != text.end();
    if (outSize > inSize || out[o + outLayout.headerSize] != 0 || terminated) {
      return testing::AssertionFailure()
             << "target frame " << k << " rewritten as " << hex(outFrame);
    }
  }
  return testing::AssertionSuccess();
}

testing::AssertionResult holdsEveryProperty(const Bytes &in, Tally &tally) {
  const RewriteRun run = runRewrite(in);
  if (run.outcome.kind != RewriteKind::Rewritten) {
    ++tally.other;
    return testing::AssertionSuccess();
  }
  ++tally.rewritten;
  if (run.outcome.length > in.size()) {
    return testing::AssertionFailure()
           << "output of " << run.outcome.length << " bytes from " << in.size();
  }
  const Bytes &out = run.output;
  Layout inLayout;
  Layout outLayout;
  if (!readLayout(in, inLayout)) {
    return testing::AssertionFailure() << "rewritten although the header's sizes do not fit";
  }
  if (!readLayout(out, outLayout) || slice(in, 0, 6) != slice(out, 0, 6) ||
      outLayout.framesStart != inLayout.framesStart ||
      slice(in, 6 + 4, inLayout.framesStart) != slice(out, 6 + 4, outLayout.framesStart)) {
    return testing::AssertionFailure() << "header or extended header changed";
  }
  const Reading reading = chooseReading(in, inLayout);
  const Walk inWalk = walkFrames(in, inLayout, reading);
  if (inWalk.pastEnd) {
    return testing::AssertionFailure() << "rewritten although a frame runs past the tag";
  }
  const Walk outWalk = walkFrames(out, outLayout, reading);
  if (outWalk.pastEnd || outWalk.frames.size() != inWalk.frames.size()) {
    return testing::AssertionFailure() << "the output's frames do not walk as the input's";
  }
  if (outLayout.tagEnd - outWalk.stop != inLayout.tagEnd - inWalk.stop) {
    return testing::AssertionFailure()
           << "the output's walk ends " << outLayout.tagEnd - outWalk.stop
           << " bytes before its tag end, the input's " << inLayout.tagEnd - inWalk.stop;
  }
  testing::AssertionResult frames =
      compareFrames(in, inWalk, inLayout, out, outWalk, outLayout, reading);
  if (!frames) {
    return frames;
  }
  Bytes expectedRest = slice(in, inWalk.stop, in.size());
  const size_t footerAt = inLayout.tagEnd - inWalk.stop;
  if (inLayout.version == 4 && (in[5] & 0x10) != 0 && inLayout.tagEnd + 10 <= in.size() &&
      std::memcmp(&in[inLayout.tagEnd], "3DI", 3) == 0) {
    writeSynchsafe(static_cast<uint32_t>(outLayout.tagEnd - 10), &expectedRest[footerAt + 6]);
  }
  if (slice(out, outWalk.stop, out.size()) != expectedRest) {
    return testing::AssertionFailure() << "what follows the frames differs";
  }

  // A second rewrite changes nothing, unless the rewrite changed which
  // reading of version 4 sizes applies.
  if (outLayout.version == 4 && chooseReading(out, outLayout) != reading) {
    ++tally.readingChanged;
    return testing::AssertionSuccess();
  }
  const RewriteRun again = runRewrite(out);
  if (again.outcome.kind != RewriteKind::Rewritten || again.output != out) {
    return testing::AssertionFailure()
           << "a second rewrite changed the file: " << kindName(again.outcome.kind);
  }
  return testing::AssertionSuccess();
}

std::string start(const Bytes &file) {
  return hex(slice(file, 0, std::min<size_t>(file.size(), 48)));
}

TEST(RewriteProperties, GeneratedTags) {
  Prng prng{20240611};
  Tally tally;
  int failures = 0;
  for (int i = 0; i < 3000 && failures < 5; ++i) {
    const Bytes file = randomTag(prng);
    testing::AssertionResult result = holdsEveryProperty(file, tally);
    if (!result) {
      ++failures;
      ADD_FAILURE() << "case " << i << ": " << result.message() << "\n  file: " << hex(file);
    }
  }
  // Nothing in these tags is damaged or unsupported.
  EXPECT_EQ(tally.other, 0);
  EXPECT_LT(tally.readingChanged, 30);
}

TEST(RewriteProperties, MutatedTags) {
  Prng prng{77};
  Tally tally;
  int failures = 0;
  for (int i = 0; i < 5000 && failures < 5; ++i) {
    const Bytes file = mutate(prng, randomTag(prng));
    testing::AssertionResult result = holdsEveryProperty(file, tally);
    if (!result) {
      ++failures;
      ADD_FAILURE() << "case " << i << ": " << result.message()
                    << "\n  file starts: " << start(file) << "\n  file: " << hex(file);
    }
  }
  // Enough of them survive to test the rewrite, not just the checks.
  EXPECT_GT(tally.rewritten, 1000);
  EXPECT_GT(tally.other, 1000);
}

TEST(RewriteProperties, ShortFilesOfRandomBytes) {
  Prng prng{5};
  Tally tally;
  for (int i = 0; i < 3000; ++i) {
    Bytes file = ascii("ID3") + randomBytes(prng, below(prng, 40));
    if (file.size() > 5 && chance(prng, 70)) {
      file[3] = static_cast<uint8_t>(below(prng, 5));
      file[4] = 0;
      file[5] = static_cast<uint8_t>(file[5] & 0x50);
    }
    if (file.size() > 9 && chance(prng, 70)) {
      const uint32_t size = below(prng, file.size() - 9);
      const Bytes encoded = synchsafeBytes(size);
      std::copy(encoded.begin(), encoded.end(), file.begin() + 6);
    }
    EXPECT_TRUE(holdsEveryProperty(file, tally)) << hex(file);
  }
  EXPECT_GT(tally.rewritten, 100);
}

} // namespace

// libFuzzer target for rewriteTag. Besides the sanitizers' checks of every
// read and write, it checks what must hold for every input: the output is
// never longer than the input, frames other than the three targets come out
// byte-identical, a failed rewrite produces nothing, and rewriting the
// rewritten file changes nothing. The dry run's reading of the same input
// (listTargetTexts, decodeFrameText) must agree with the rewrite and stay
// inside its buffers, as must --info's reading of every frame
// (readFrameStrings). The rewrite of every frame (--all-frames) is checked
// the same way. Version 2.3 output, in buffers of the sizes rewriteNeedsOf
// gives: a version 2.3 tag that walkTag accepts, never unsynchronised, the
// bytes after the tag unchanged, the same bytes again from a second run;
// and when it cannot be written, the ordinary conversion.
#include "engine/frame_fields.h"
#include "engine/rewrite_tag.h"
#include "engine/text_values.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr RewriteSettings ALL_FRAMES{FrameScope::AllFrames, TextSettings{false}};

void check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

struct Walker {
  uint32_t headerSize;
  uint32_t idLength;
  uint32_t sizeLength;
  bool synchsafe;
};

bool validId(const uint8_t *id, uint32_t length) {
  for (uint32_t i = 0; i < length; ++i) {
    const bool letter = id[i] >= 'A' && id[i] <= 'Z';
    const bool digit = id[i] >= '0' && id[i] <= '9';
    if (!letter && !digit) {
      return false;
    }
  }
  return true;
}

uint32_t frameSize(const uint8_t *field, const Walker &walker) {
  return walker.synchsafe ? readSynchsafe(field) : readBigEndian(field, walker.sizeLength);
}

bool isTarget(const uint8_t *id, const Walker &walker) {
  const char *const *ids = walker.idLength == 3 ? TARGET_FRAME_IDS_V22 : TARGET_FRAME_IDS;
  for (size_t i = 0; i < TARGET_FRAME_COUNT; ++i) {
    if (std::memcmp(id, ids[i], walker.idLength) == 0) {
      return true;
    }
  }
  return false;
}

uint32_t framesStart(const uint8_t *bytes, uint8_t major) {
  if (major == 2 || (bytes[5] & 0x40) == 0) {
    return 10;
  }
  return major == 3 ? 14 + readBigEndian(bytes + 10, 4) : 10 + readSynchsafe(bytes + 10);
}

// True when some version 4 frame size reads differently as a plain number:
// then either reading may apply and a second rewrite may pick the other.
bool sizesAreAmbiguous(const uint8_t *bytes, uint32_t start, uint32_t tagEnd) {
  for (uint32_t r = start; r + 10 < tagEnd && validId(bytes + r, 4);) {
    const uint32_t size = readSynchsafe(bytes + r + 4);
    if (size != readBigEndian(bytes + r + 4, 4)) {
      return true;
    }
    if (size > tagEnd - r - 10) {
      return false;
    }
    r += 10 + size;
  }
  return false;
}

// Walks input and output side by side: each frame keeps its identifier and
// flags, and every frame but the targets keeps every byte.
void checkFramesCarriedOver(const uint8_t *in, const uint8_t *out, const Walker &walker) {
  const uint32_t start = framesStart(in, in[3]);
  const uint32_t inEnd = 10 + readSynchsafe(in + 6);
  const uint32_t outEnd = 10 + readSynchsafe(out + 6);
  check(std::memcmp(in, out, 6) == 0 && std::memcmp(in + 10, out + 10, start - 10) == 0);
  uint32_t r = start;
  uint32_t w = start;
  while (r + walker.headerSize < inEnd && validId(in + r, walker.idLength)) {
    const uint32_t inSize = frameSize(in + r + walker.idLength, walker);
    const uint32_t outSize = frameSize(out + w + walker.idLength, walker);
    check(w + walker.headerSize + outSize <= outEnd);
    check(std::memcmp(in + r, out + w, walker.idLength) == 0);
    if (isTarget(in + r, walker) && inSize > 0) {
      check(outSize <= inSize);
      check(out[w + walker.headerSize] == 0);
    } else {
      check(inSize == outSize);
      check(std::memcmp(in + r, out + w, walker.headerSize + inSize) == 0);
    }
    r += walker.headerSize + inSize;
    w += walker.headerSize + outSize;
  }
  check(inEnd - r == outEnd - w);
  check(std::memcmp(in + r, out + w, inEnd - r) == 0);
}

// Decodes a text into an exact-size heap buffer, so that a write past its
// end is caught; small capacities cut the text short on purpose.
void decodeInto(const uint8_t *text, uint32_t length, uint8_t encoding, bool isList,
                size_t capacity) {
  std::vector<char16_t> units(capacity);
  size_t written = capacity + 1;
  decodeFrameText(text, length, encoding, isList, units.data(), units.size(), written);
  check(written <= capacity);
}

void decodeInto(const TargetText &text, size_t capacity) {
  decodeInto(text.text, text.length, text.encoding, text.isList, capacity);
}

// --info reads the strings of every frame, whatever the checks decided:
// each lies inside its frame's data.
void checkDescription(const std::vector<uint8_t> &input, const TagRecord &record) {
  const FileImage image{input.data(), static_cast<uint32_t>(input.size())};
  FrameStrings strings;
  for (const TagFrame &frame : record.frames) {
    readFrameStrings(image, record, frame, strings);
    const uint8_t *data = input.data() + frame.data.start;
    for (const FrameString &string : strings.strings) {
      check(strings.split == FrameSplit::Split && string.text > data &&
            string.length <= static_cast<size_t>(data + frame.data.length - string.text) &&
            string.shownLength <= string.length);
      decodeInto(string.text, string.length, strings.encoding, string.isList, 7);
    }
  }
}

// The dry run lists the target texts with the rewrite's own checks and
// decodes each one for showing.
void checkPreviewReading(const std::vector<uint8_t> &input, const TagRecord &record,
                         const RewriteOutcome &rewrite) {
  constexpr size_t CAPACITY = 8;
  TargetText texts[CAPACITY] = {};
  size_t count = CAPACITY + 1;
  const RewriteOutcome listed =
      listTargetTexts({input.data(), static_cast<uint32_t>(input.size())}, record,
                      FrameScope::TitleFrames, texts, CAPACITY, count);
  // Only a text too long for its frame is left for the rewrite to find.
  check(listed.kind == rewrite.kind || rewrite.reason == RewriteReason::TextDoesNotFit);
  check(count <= CAPACITY && (listed.kind == RewriteKind::Rewritten || count == 0));
  const uint8_t *end = input.data() + input.size();
  for (size_t i = 0; i < count; ++i) {
    check(texts[i].text >= input.data() && texts[i].text <= end &&
          texts[i].length <= static_cast<size_t>(end - texts[i].text));
    decodeInto(texts[i], 7);
    decodeInto(texts[i], 4096);
  }
}

// Every frame converted (--all-frames): the same checks decide, the output
// is never longer, the frames left are counted, and converting the output
// again changes nothing unless either reading of version 4 sizes may apply.
void checkAllFrames(const std::vector<uint8_t> &input, const RewriteOutcome &titles,
                    bool ambiguous) {
  const FileImage image{input.data(), static_cast<uint32_t>(input.size())};
  std::vector<uint8_t> output(input.size());
  FramesLeft left;
  const RewriteOutcome first = rewriteTag(image, output.data(), ALL_FRAMES, left);
  check(first.kind == titles.kind && first.reason == titles.reason);
  check(left.named <= left.count && left.named <= FRAMES_LEFT_NAMED);
  constexpr size_t CAPACITY = 8;
  TargetText texts[CAPACITY] = {};
  size_t count = 0;
  listTargetTexts(image, FrameScope::AllFrames, texts, CAPACITY, count);
  for (size_t i = 0; i < count; ++i) {
    decodeInto(texts[i], 7);
  }
  if (first.kind != RewriteKind::Rewritten || ambiguous) {
    return;
  }
  check(first.length <= input.size());
  output.resize(first.length);
  std::vector<uint8_t> again(output.size());
  FramesLeft leftAgain;
  const RewriteOutcome second = rewriteTag({output.data(), static_cast<uint32_t>(output.size())},
                                           again.data(), ALL_FRAMES, leftAgain);
  check(second.kind == RewriteKind::Rewritten && second.length == first.length);
  check(first.length == 0 || std::memcmp(again.data(), output.data(), output.size()) == 0);
  check(leftAgain.count == left.count);
}

struct Version3Result {
  RewriteOutcome outcome;
  RewriteReport report;
  std::vector<uint8_t> output;
};

Version3Result rewriteVersion3(const std::vector<uint8_t> &input, RewriteSettings settings) {
  const FileImage image{input.data(), static_cast<uint32_t>(input.size())};
  const TagRecord record = walkTag(image);
  settings.version = TagVersion::Version3;
  const RewriteNeeds needs = rewriteNeedsOf(image, record, settings);
  check(needs.outputLength >= input.size() && needs.outputLength <= UINT32_MAX);
  Version3Result result{};
  result.output.resize(needs.outputLength);
  std::vector<uint8_t> scratch(needs.scratchLength);
  result.outcome = rewriteTag(image, record,
                              {result.output.data(), static_cast<uint32_t>(result.output.size()),
                               scratch.data(), static_cast<uint32_t>(scratch.size())},
                              settings, result.report);
  check(result.report.version.obstacle != Version3Obstacle::BuffersTooSmall);
  check(result.outcome.length <= result.output.size());
  result.output.resize(result.outcome.length);
  return result;
}

bool changedNothing(const VersionChanges &changes) {
  for (uint32_t count : changes.counts) {
    if (count > 0) {
      return false;
    }
  }
  return changes.leftOut.count == 0;
}

void checkVersion3(const std::vector<uint8_t> &input, const TagRecord &record,
                   RewriteSettings settings) {
  const Version3Result first = rewriteVersion3(input, settings);
  const VersionChanges &changes = first.report.version;
  check(changes.named <= FRAME_CHANGES_NAMED && changes.leftOut.named <= changes.leftOut.count);
  std::vector<uint8_t> ordinary(input.size());
  FramesLeft left;
  const RewriteOutcome expected = rewriteTag({input.data(), static_cast<uint32_t>(input.size())},
                                             record, ordinary.data(), settings, left);
  ordinary.resize(expected.length);
  if (!changes.converted) {
    if (changes.obstacle != Version3Obstacle::TagNotRewritten) {
      check(first.outcome.kind == expected.kind && first.output == ordinary);
    }
    check(first.outcome.kind != RewriteKind::Rewritten || first.output == ordinary);
    return;
  }
  check(first.outcome.kind == RewriteKind::Rewritten);
  const TagRecord written = walkTag({first.output.data(), first.outcome.length});
  check(written.verdict == TagVerdict::Accepted && written.majorVersion == 3 &&
        !written.flags.unsynchronisation && written.tagEnd == changes.tagLengthWritten);
  const uint32_t tail = record.tagEnd + record.footer.length;
  check(first.output.size() - written.tagEnd == input.size() - tail &&
        std::memcmp(first.output.data() + written.tagEnd, input.data() + tail,
                    input.size() - tail) == 0);
  if (resynchronisationLength(record) == 0) {
    check(written.padding.length == record.padding.length);
  }
  // A version 2.3 tag that needed nothing mended: the ordinary conversion.
  if (record.majorVersion == 3 && expected.kind == RewriteKind::Rewritten && left.count == 0 &&
      changedNothing(changes)) {
    check(first.output == ordinary);
  }
  const Version3Result second = rewriteVersion3(first.output, settings);
  check(second.report.version.converted && changedNothing(second.report.version) &&
        second.output == first.output);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > 1u << 20) {
    return 0;
  }
  // Exact-size heap copies so that any read or write past either end is
  // caught by AddressSanitizer.
  const auto length = static_cast<uint32_t>(size);
  std::vector<uint8_t> input(data, data + size);
  std::vector<uint8_t> output(size);
  // Odd lengths fold look-alikes, so that both conversions are fuzzed.
  const RewriteSettings settings{FrameScope::TitleFrames, TextSettings{(length & 1) != 0}};
  FramesLeft left;
  const TagRecord record = walkTag({input.data(), length});
  const RewriteOutcome first =
      rewriteTag({input.data(), length}, record, output.data(), settings, left);
  checkPreviewReading(input, record, first);
  checkDescription(input, record);
  // Callers rewrite a tag into version 2.3 only when it begins with "ID3"
  // (the version 2.3 header is written anew). Every other length converts
  // every frame.
  if (length >= 3 && std::memcmp(input.data(), "ID3", 3) == 0) {
    checkVersion3(
        input, record,
        RewriteSettings{(length & 2) != 0 ? FrameScope::AllFrames : FrameScope::TitleFrames,
                        settings.text});
  }
  if (first.kind != RewriteKind::Rewritten) {
    check(first.length == 0);
    checkAllFrames(input, first, true);
    return 0;
  }
  check(first.length <= length);
  output.resize(first.length);

  const uint8_t major = input[3];
  const uint32_t tagEnd = 10 + readSynchsafe(input.data() + 6);
  const bool version4 = major != 2 && major != 3;
  const bool ambiguous =
      version4 && sizesAreAmbiguous(input.data(), framesStart(input.data(), major), tagEnd);
  checkAllFrames(input, first, ambiguous);
  if (ambiguous) {
    return 0;
  }
  const Walker walker = major == 2   ? Walker{6, 3, 3, false}
                        : major == 3 ? Walker{10, 4, 4, false}
                                     : Walker{10, 4, 4, true};
  checkFramesCarriedOver(input.data(), output.data(), walker);

  std::vector<uint8_t> again(output.size());
  const RewriteOutcome second = rewriteTag({output.data(), static_cast<uint32_t>(output.size())},
                                           again.data(), settings, left);
  check(second.kind == RewriteKind::Rewritten && second.length == first.length);
  check(std::memcmp(again.data(), output.data(), output.size()) == 0);
  return 0;
}

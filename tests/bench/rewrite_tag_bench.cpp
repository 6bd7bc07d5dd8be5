// rewriteTag on a file the size of a long MP3 with a typical tag (a cover
// picture and several text frames), beside a plain copy of the same bytes:
// the rewrite is one pass over the tag and one copy of the rest, so it should
// cost little more than the copy.
#include "engine/rewrite_tag.h"
#include "engine/text_values.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t FILE_SIZE = size_t{10} * 1000 * 1000;
constexpr size_t TAG_SIZE = size_t{30} * 1024; // header included
constexpr size_t COVER_SIZE = size_t{26} * 1024;

enum class SizeLayout { Plain, Synchsafe };

void appendSize(Bytes &out, uint32_t size, SizeLayout layout) {
  uint8_t bytes[4];
  if (layout == SizeLayout::Synchsafe) {
    writeSynchsafe(size, bytes);
  } else {
    writeBigEndian(size, bytes, sizeof bytes);
  }
  out.insert(out.end(), bytes, bytes + sizeof bytes);
}

// Byte by byte: GCC 12 warns wrongly about a range insert into a vector
// this small.
void appendText(Bytes &out, const char *text) {
  for (const char *c = text; *c != 0; ++c) {
    out.push_back(static_cast<uint8_t>(*c));
  }
}

void appendFrame(Bytes &tag, const char *id, const Bytes &data, SizeLayout layout) {
  tag.insert(tag.end(), id, id + 4);
  appendSize(tag, static_cast<uint32_t>(data.size()), layout);
  tag.push_back(0);
  tag.push_back(0);
  tag.insert(tag.end(), data.begin(), data.end());
}

// Encoding 1: little-endian mark, the units, a zero unit.
Bytes utf16Text(const std::u16string &text) {
  Bytes data{1, 0xFF, 0xFE};
  for (char16_t unit : text) {
    data.push_back(static_cast<uint8_t>(unit & 0xFF));
    data.push_back(static_cast<uint8_t>(unit >> 8));
  }
  data.push_back(0);
  data.push_back(0);
  return data;
}

Bytes latin1Text(const char *text) {
  Bytes data{0};
  appendText(data, text);
  return data;
}

Bytes cover() {
  Bytes data{0};
  appendText(data, "image/jpeg");
  data.insert(data.end(), {0, 3, 0}); // mime terminator, front cover, empty description
  uint32_t state = 12345;
  while (data.size() < COVER_SIZE) {
    state = state * 1103515245u + 12345u;
    data.push_back(static_cast<uint8_t>(state >> 24));
  }
  return data;
}

// A version 3 or 4 tag of TAG_SIZE bytes, then MPEG-like audio up to FILE_SIZE.
Bytes fileImage(uint8_t majorVersion) {
  const SizeLayout layout = majorVersion == 4 ? SizeLayout::Synchsafe : SizeLayout::Plain;
  Bytes file{'I', 'D', '3', majorVersion, 0, 0};
  appendSize(file, TAG_SIZE - TAG_HEADER_SIZE, SizeLayout::Synchsafe);
  appendFrame(file, "TIT2", utf16Text(u"\u7A7A\u3068\u6587\u5B57\u306E\u6B4C (Remaster)"), layout);
  appendFrame(file, "TPE1", utf16Text(u"\u30BD\u30E9\u30D6\u30F3\u697D\u56E3"), layout);
  appendFrame(file, "TALB", utf16Text(u"\u7B2C\u4E00\u96C6 \u301C\u590F\u301C"), layout);
  appendFrame(file, "TRCK", latin1Text("3/12"), layout);
  appendFrame(file, "TYER", latin1Text("2011"), layout);
  appendFrame(file, "TCON", latin1Text("J-Pop"), layout);
  appendFrame(file, "TPE2", utf16Text(u"\u30BD\u30E9\u30D6\u30F3\u697D\u56E3"), layout);
  appendFrame(file, "COMM", Bytes{0, 'j', 'p', 'n', 0, 'r', 'i', 'p', 'p', 'e', 'd'}, layout);
  Bytes comment{1, 'j', 'p', 'n', 0, 0};
  const Bytes commentText = utf16Text(u"\u3044\u3044\u66F2 \u301C\u590F\u301C");
  comment.insert(comment.end(), commentText.begin() + 1, commentText.end());
  appendFrame(file, "COMM", comment, layout);
  appendFrame(file, "APIC", cover(), layout);
  file.resize(TAG_SIZE, 0); // padding
  uint32_t state = 777;
  while (file.size() < FILE_SIZE) {
    state = state * 1664525u + 1013904223u;
    file.push_back(static_cast<uint8_t>(state >> 24));
  }
  return file;
}

void rewriteBenchmark(benchmark::State &state, uint8_t majorVersion,
                      FrameScope scope = FrameScope::TitleFrames) {
  const Bytes input = fileImage(majorVersion);
  Bytes output(input.size(), 0);
  const FileImage image{input.data(), static_cast<uint32_t>(input.size())};
  FramesLeft left;
  RewriteOutcome first =
      rewriteTag(image, output.data(), RewriteSettings{scope, TextSettings{false}}, left);
  if (first.kind != RewriteKind::Rewritten || first.length >= input.size() || left.count > 0) {
    state.SkipWithError("the benchmark tag was not rewritten");
    return;
  }
  for (auto _ : state) {
    RewriteOutcome outcome =
        rewriteTag(image, output.data(), RewriteSettings{scope, TextSettings{false}}, left);
    benchmark::DoNotOptimize(outcome);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(input.size()));
}

// The version 2.4 tag written as version 2.3 (--id3v2.3): UTF-16 texts and
// the cover kept, every frame under a version 2.3 header, into the buffer
// the rewrite asks for.
void BM_RewriteTagV24ToV23(benchmark::State &state) {
  const Bytes input = fileImage(4);
  const FileImage image{input.data(), static_cast<uint32_t>(input.size())};
  const TagRecord record = walkTag(image);
  RewriteSettings settings{FrameScope::TitleFrames, TextSettings{false}};
  settings.version = TagVersion::Version3;
  const RewriteNeeds needs = rewriteNeedsOf(image, record, settings);
  Bytes output(needs.outputLength, 0);
  const RewriteBuffers buffers{output.data(), static_cast<uint32_t>(output.size()), nullptr, 0};
  RewriteReport report{};
  if (rewriteTag(image, record, buffers, settings, report).kind != RewriteKind::Rewritten ||
      !report.version.converted) {
    state.SkipWithError("the benchmark tag was not written as version 2.3");
    return;
  }
  for (auto _ : state) {
    RewriteOutcome outcome = rewriteTag(image, walkTag(image), buffers, settings, report);
    benchmark::DoNotOptimize(outcome);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(input.size()));
}

void BM_Memcpy(benchmark::State &state) {
  const Bytes input = fileImage(3);
  Bytes output(input.size(), 0);
  for (auto _ : state) {
    std::memcpy(output.data(), input.data(), input.size());
    benchmark::DoNotOptimize(output.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(input.size()));
}

void BM_RewriteTagV23(benchmark::State &state) {
  rewriteBenchmark(state, 3);
}

// Version 4 tags are walked with both readings of their frame sizes.
void BM_RewriteTagV24(benchmark::State &state) {
  rewriteBenchmark(state, 4);
}

// --all-frames: the comment, the cover's description and every text frame
// converted too.
void BM_RewriteTagV23AllFrames(benchmark::State &state) {
  rewriteBenchmark(state, 3, FrameScope::AllFrames);
}

void BM_RewriteTagV24AllFrames(benchmark::State &state) {
  rewriteBenchmark(state, 4, FrameScope::AllFrames);
}

// The conversion of a text alone, with look-alikes (--fold) and without:
// kana, kanji and ASCII, which code page 932 holds, and in every 14 units a
// wave dash, an en dash and a ligature, which have look-alikes, and an
// emoji, which has none.
void BM_ConvertText(benchmark::State &state) {
  const std::u16string pattern = u"\u7A7A\u3068 Song \u301C\u6B4C\u2013\uFB01\U0001F3B5";
  std::u16string text;
  while (text.size() < 4000) {
    text += pattern;
  }
  Bytes data;
  for (char16_t unit : text) {
    data.push_back(static_cast<uint8_t>(unit >> 8));
    data.push_back(static_cast<uint8_t>(unit & 0xFF));
  }
  Bytes out(data.size());
  const TextSettings settings{state.range(0) != 0};
  for (auto _ : state) {
    size_t length = 0;
    const bool whole = convertFrameText(data.data(), data.size(), TEXT_ENCODING_UTF16BE, false,
                                        settings, out.data(), out.size(), length);
    benchmark::DoNotOptimize(whole);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}

} // namespace

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RewriteTagV23)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RewriteTagV24)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RewriteTagV23AllFrames)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RewriteTagV24AllFrames)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RewriteTagV24ToV23)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ConvertText)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();

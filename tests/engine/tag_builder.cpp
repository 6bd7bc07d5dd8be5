#include "tests/engine/tag_builder.h"

#include <cstdio>
#include <cstring>
#include <memory>

Bytes operator+(Bytes left, const Bytes &right) {
  left.insert(left.end(), right.begin(), right.end());
  return left;
}

Bytes ascii(const std::string &text) {
  return Bytes(text.begin(), text.end());
}

Bytes ascii(const char *text, size_t length) {
  return Bytes(text, text + length);
}

Bytes repeat(uint8_t value, size_t count) {
  return Bytes(count, value);
}

Bytes utf16le(const std::u16string &text) {
  Bytes bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<uint8_t>(unit & 0xFFu));
    bytes.push_back(static_cast<uint8_t>(unit >> 8));
  }
  return bytes;
}

Bytes utf16be(const std::u16string &text) {
  Bytes bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<uint8_t>(unit >> 8));
    bytes.push_back(static_cast<uint8_t>(unit & 0xFFu));
  }
  return bytes;
}

Bytes synchsafeBytes(uint32_t value) {
  return {static_cast<uint8_t>((value >> 21) & 0x7Fu), static_cast<uint8_t>((value >> 14) & 0x7Fu),
          static_cast<uint8_t>((value >> 7) & 0x7Fu), static_cast<uint8_t>(value & 0x7Fu)};
}

Bytes plainBytes(uint32_t value, size_t count) {
  Bytes bytes(count);
  for (size_t i = count; i > 0; --i) {
    bytes[i - 1] = static_cast<uint8_t>(value & 0xFFu);
    value >>= 8;
  }
  return bytes;
}

static bool isVersion2(uint8_t major) {
  return major == 2;
}

static bool sizesAreSynchsafe(uint8_t major, SizeStyle style) {
  if (style == SizeStyle::Native) {
    return major != 2 && major != 3;
  }
  return style == SizeStyle::Synchsafe;
}

Bytes frameHeader(uint8_t major, const std::string &id, uint32_t declaredSize, SizeStyle style,
                  uint8_t statusFlags, uint8_t formatFlags) {
  Bytes header = ascii(id);
  if (isVersion2(major)) {
    return header + plainBytes(declaredSize, 3);
  }
  header = header + (sizesAreSynchsafe(major, style) ? synchsafeBytes(declaredSize)
                                                     : plainBytes(declaredSize));
  return header + Bytes{statusFlags, formatFlags};
}

Bytes frame(uint8_t major, const std::string &id, const Bytes &data, SizeStyle style,
            uint8_t statusFlags, uint8_t formatFlags) {
  return frameHeader(major, id, static_cast<uint32_t>(data.size()), style, statusFlags,
                     formatFlags) +
         data;
}

Bytes extendedHeaderV3(bool crc) {
  Bytes header = plainBytes(crc ? 10 : 6) + Bytes{static_cast<uint8_t>(crc ? 0x80 : 0x00), 0x00} +
                 plainBytes(0);
  return crc ? header + Bytes{0x12, 0x34, 0x56, 0x78} : header;
}

Bytes extendedHeaderV4(uint8_t flags, const Bytes &flagData) {
  return synchsafeBytes(static_cast<uint32_t>(6 + flagData.size())) + Bytes{0x01, flags} + flagData;
}

Bytes buildTag(const TagParts &parts) {
  Bytes body = parts.extendedHeader;
  for (const Bytes &each : parts.frames) {
    body = body + each;
  }
  body = body + repeat(0, parts.padding);
  uint8_t flags = parts.flags;
  if (!parts.extendedHeader.empty() && parts.major != 2) {
    flags = static_cast<uint8_t>(flags | 0x40);
  }
  if (parts.footer) {
    flags = static_cast<uint8_t>(flags | 0x10);
  }
  Bytes size = synchsafeBytes(parts.tagSize ? *parts.tagSize : static_cast<uint32_t>(body.size()));
  Bytes file = ascii("ID3") + Bytes{parts.major, parts.revision, flags} + size + body;
  if (parts.footer) {
    file = file + ascii("3DI") + Bytes{parts.major, parts.revision, flags} + size;
  }
  return file + parts.audio;
}

Bytes buildTag(uint8_t major, const std::vector<Bytes> &frames, size_t padding) {
  TagParts parts;
  parts.major = major;
  parts.frames = frames;
  parts.padding = padding;
  return buildTag(parts);
}

RewriteRun runRewrite(const Bytes &input, TextSettings settings) {
  const size_t n = input.size();
  std::unique_ptr<uint8_t[]> in(new uint8_t[n]);
  std::unique_ptr<uint8_t[]> out(new uint8_t[n]);
  if (n > 0) {
    std::memcpy(in.get(), input.data(), n);
    std::memset(out.get(), 0xCD, n);
  }
  RewriteRun run;
  FramesLeft left;
  run.outcome = rewriteTag(FileImage{in.get(), static_cast<uint32_t>(n)}, out.get(),
                           RewriteSettings{FrameScope::TitleFrames, settings}, left);
  if (run.outcome.kind == RewriteKind::Rewritten && run.outcome.length <= n) {
    run.output.assign(out.get(), out.get() + run.outcome.length);
  }
  return run;
}

Version3Run runVersion3(const Bytes &input, FrameScope scope, std::optional<uint32_t> capacity) {
  const size_t n = input.size();
  std::unique_ptr<uint8_t[]> in(new uint8_t[n]);
  if (n > 0) {
    std::memcpy(in.get(), input.data(), n);
  }
  const FileImage image{in.get(), static_cast<uint32_t>(n)};
  const TagRecord record = walkTag(image);
  RewriteSettings settings{scope, TextSettings{false}};
  settings.version = TagVersion::Version3;
  const RewriteNeeds needs = rewriteNeedsOf(image, record, settings);
  const auto outputLength = capacity ? *capacity : static_cast<uint32_t>(needs.outputLength);
  std::unique_ptr<uint8_t[]> out(new uint8_t[outputLength]);
  std::unique_ptr<uint8_t[]> scratch(new uint8_t[needs.scratchLength]);
  Version3Run run{};
  run.outputBound = needs.outputLength;
  run.outcome = rewriteTag(
      image, record, RewriteBuffers{out.get(), outputLength, scratch.get(), needs.scratchLength},
      settings, run.report);
  if (run.outcome.kind == RewriteKind::Rewritten && run.outcome.length <= outputLength) {
    run.output.assign(out.get(), out.get() + run.outcome.length);
  }
  return run;
}

Bytes unsynchronised(const Bytes &bytes) {
  Bytes out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    out.push_back(bytes[i]);
    if (bytes[i] == 0xFF && i + 1 < bytes.size() && (bytes[i + 1] == 0 || bytes[i + 1] >= 0xE0)) {
      out.push_back(0);
    }
  }
  return out;
}

std::string hex(const Bytes &bytes) {
  std::string text;
  char digits[4];
  for (uint8_t byte : bytes) {
    std::snprintf(digits, sizeof digits, "%02X ", byte);
    text += digits;
  }
  return text;
}

const char *kindName(RewriteKind kind) {
  switch (kind) {
  case RewriteKind::Rewritten:
    return "Rewritten";
  case RewriteKind::Refused:
    return "Refused";
  case RewriteKind::Unsupported:
    return "Unsupported";
  case RewriteKind::Damaged:
    return "Damaged";
  }
  return "?";
}

const char *reasonName(RewriteReason reason) {
  switch (reason) {
  case RewriteReason::None:
    return "None";
  case RewriteReason::FileTooShort:
    return "FileTooShort";
  case RewriteReason::TagPastEndOfFile:
    return "TagPastEndOfFile";
  case RewriteReason::BadExtendedHeaderSize:
    return "BadExtendedHeaderSize";
  case RewriteReason::FramePastEndOfTag:
    return "FramePastEndOfTag";
  case RewriteReason::Unsynchronised:
    return "Unsynchronised";
  case RewriteReason::Compressed:
    return "Compressed";
  case RewriteReason::ExtendedHeaderCrc:
    return "ExtendedHeaderCrc";
  case RewriteReason::FrameFormatFlags:
    return "FrameFormatFlags";
  case RewriteReason::UnknownTextEncoding:
    return "UnknownTextEncoding";
  case RewriteReason::TextDoesNotFit:
    return "TextDoesNotFit";
  }
  return "?";
}

testing::AssertionResult rewritesTo(const Bytes &input, const Bytes &expected,
                                    TextSettings settings) {
  RewriteRun run = runRewrite(input, settings);
  if (run.outcome.kind != RewriteKind::Rewritten) {
    return testing::AssertionFailure()
           << "ended as " << kindName(run.outcome.kind) << " / " << reasonName(run.outcome.reason);
  }
  if (run.outcome.length > input.size()) {
    return testing::AssertionFailure()
           << "output length " << run.outcome.length << " exceeds input length " << input.size();
  }
  if (run.output != expected) {
    return testing::AssertionFailure()
           << "\n  input:    " << hex(input) << "\n  output:   " << hex(run.output)
           << "\n  expected: " << hex(expected);
  }
  return testing::AssertionSuccess();
}

testing::AssertionResult endsAs(const Bytes &input, RewriteKind kind, RewriteReason reason) {
  RewriteRun run = runRewrite(input);
  if (run.outcome.kind != kind || run.outcome.reason != reason) {
    return testing::AssertionFailure()
           << "ended as " << kindName(run.outcome.kind) << " / " << reasonName(run.outcome.reason)
           << ", expected " << kindName(kind) << " / " << reasonName(reason);
  }
  return testing::AssertionSuccess();
}

#include "command/wide_text.h"

#include "command/utf8_text.h"
#include "engine/unicode.h"
#include "engine/utf8.h"

#include <cstdint>

std::string utf8FromWide(const wchar_t *wide, size_t count) {
  std::string out;
  out.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    const auto unit = static_cast<uint32_t>(wide[i]);
    const auto next = i + 1 < count ? static_cast<uint32_t>(wide[i + 1]) : 0u;
    if (isHighSurrogate(unit) && isLowSurrogate(next)) {
      appendEncodedUtf8(combineSurrogates(unit, next), out);
      ++i;
    } else {
      appendEncodedUtf8(unit, out); // a lone surrogate keeps its value
    }
  }
  return out;
}

std::wstring wideFromUtf8(const char *text, size_t length) {
  std::wstring out;
  out.reserve(length);
  const auto *bytes = reinterpret_cast<const uint8_t *>(text);
  size_t i = 0;
  while (i < length) {
    // Surrogates decode too: the generalised form; bytes that make no
    // character become one replacement character a piece.
    const Utf8Decoded decoded = decodeUtf8(bytes + i, length - i, Utf8Form::Generalised);
    i += decoded.length;
    if (decoded.codePoint >= FIRST_SUPPLEMENTARY_CODE_POINT) {
      out += static_cast<wchar_t>(highSurrogateOf(decoded.codePoint));
      out += static_cast<wchar_t>(lowSurrogateOf(decoded.codePoint));
    } else {
      out += static_cast<wchar_t>(decoded.codePoint);
    }
  }
  return out;
}

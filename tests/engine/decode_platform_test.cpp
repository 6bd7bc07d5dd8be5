// The project's code page 932 decoder against the platform's own
// MultiByteToWideChar(932) for every single byte and byte pair (Windows only;
// here under Wine with the Japanese locale).
#include "engine/ansi_text.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>

TEST(Cp932Decoding, AgreesWithThePlatformOnEveryCode) {
  size_t mismatches = 0;
  for (uint32_t code = 0; code < 0x10000; ++code) {
    uint8_t bytes[2];
    size_t length = 0;
    if (code >= 0x100)
      bytes[length++] = static_cast<uint8_t>(code >> 8);
    bytes[length++] = static_cast<uint8_t>(code & 0xFF);
    const bool leadAlone = code < 0x100 && IsDBCSLeadByteEx(932, bytes[0]);
    const bool pair = code >= 0x100 && IsDBCSLeadByteEx(932, bytes[0]);
    if (leadAlone || (code >= 0x100 && !pair))
      continue; // not one code: a lone lead byte, or two characters
    wchar_t platform[4] = {};
    const int count =
        MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, reinterpret_cast<const char *>(bytes),
                            static_cast<int>(length), platform, 4);
    if (count != 1)
      continue; // no character: ours reads it as U+FFFD, the platform as it likes
    char16_t ours[4] = {};
    const size_t ourCount = decodeCp932(bytes, length, ours, 4);
    if (ourCount != 1 || ours[0] != static_cast<char16_t>(platform[0])) {
      if (++mismatches <= 20)
        ADD_FAILURE() << std::hex << "code " << code << ": platform U+" << unsigned{platform[0]}
                      << ", ours U+" << unsigned{ours[0]} << " (" << ourCount << " units)";
    }
  }
  EXPECT_EQ(mismatches, 0u);
}

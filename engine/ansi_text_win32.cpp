// The platform's own conversion into the active ANSI code page, with its
// best-fit mappings and its default character '?'.
#include "engine/ansi_text.h"

#include <windows.h>

#include <climits>

size_t encodeAnsi(const char16_t *text, uint8_t *out, size_t capacity) {
  // A capacity of 0 would make WideCharToMultiByte report the size it needs
  // instead of failing.
  if (capacity == 0) {
    return 0;
  }
  int room = capacity > INT_MAX ? INT_MAX : static_cast<int>(capacity);
  int written = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<LPCWCH>(text), -1,
                                    reinterpret_cast<LPSTR>(out), room, NULL, NULL);
  return written > 0 ? static_cast<size_t>(written) : 0;
}

LookAlike ansiLookAlike(char16_t unit) {
  constexpr UINT CP932 = 932;
  return GetACP() == CP932 ? cp932LookAlike(unit) : LookAlike{};
}

size_t decodeAnsi(const uint8_t *bytes, size_t length, char16_t *out, size_t capacity) {
  if (length == 0 || capacity == 0) {
    return 0;
  }
  int from = length > INT_MAX ? INT_MAX : static_cast<int>(length);
  int room = capacity > INT_MAX ? INT_MAX : static_cast<int>(capacity);
  int written = MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<LPCCH>(bytes), from,
                                    reinterpret_cast<LPWSTR>(out), room);
  return written > 0 ? static_cast<size_t>(written) : 0;
}

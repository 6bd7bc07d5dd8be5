// Windows: UTF-16 text as the file layer's generalised UTF-8 and back. A
// surrogate without its partner, which Windows names may hold, takes the
// three bytes UTF-8 would give its value, so that every name comes back as
// it was.
#pragma once

#include <cstddef>
#include <string>

std::string utf8FromWide(const wchar_t *wide, size_t count);
std::wstring wideFromUtf8(const char *text, size_t length);

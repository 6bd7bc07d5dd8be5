// The Convert command: checks, confirmation, rewrite and a safe write-back
// of one file, reporting to the user only through a UserPrompt.
#pragma once

#include "command/user_prompt.h"

#include <cstddef>

constexpr size_t PATH_BUFFER_SIZE = 260;

// path: ANSI text (the active code page's bytes), zero-terminated.
void convertPath(const char *path, const UserPrompt &prompt);

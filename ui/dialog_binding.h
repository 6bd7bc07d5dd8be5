// The main dialog's Convert command: reads the path field and converts the
// file, with message boxes owned by the dialog as the UserPrompt; and the
// check that every path the dialog is given passes before it is used.
#pragma once

#include "command/convert_command.h"

#include <windows.h>

#include <cstddef>

enum class PathCheck { Usable, TooLong, NotInCodePage };

// The ANSI form of a path the user gave as UTF-16 (typed, pasted or
// dropped), count units long, into ansi. A path that does not fit 259 bytes,
// or that holds a character the code page can only replace (by '?' or a
// look-alike), is refused: cut short or so altered, it could name another
// file.
PathCheck ansiPathOf(const wchar_t *wide, size_t count, char (&ansi)[PATH_BUFFER_SIZE]);

// A warning box owned by the dialog, as the command's warnings are.
void warnUser(HWND dialog, const char *text);

// The warning for a refused path; nothing for a usable one.
void warnAboutPath(HWND dialog, PathCheck check);

void convertFile(HWND dialog);

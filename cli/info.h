// sorabun-cli --info: what the tags of each file hold, and what a player
// that reads nothing but code page 932 would misread; lines for people, or
// with --json one JSON object per file for scripts. Nothing is written.
#pragma once

#include "catalogue/catalogue.h"
#include "cli/console.h"
#include "cli/options.h"

// Returns the exit status: 1 when some file could not be read.
int infoRun(const Catalogue &messages, const Options &options, const ConsoleState &console);

// sorabun-cli --to DIR: converted copies in DIR, the files themselves only
// read.
#pragma once

#include "cli/console.h"
#include "cli/options.h"

// Returns the exit status.
int copyRun(const Options &options, const ConsoleState &console);

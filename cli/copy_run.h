// sorabun-cli --to DIR: converted copies in DIR, the files themselves only
// read.
#pragma once

#include "catalogue/catalogue.h"
#include "cli/console.h"
#include "cli/options.h"

// Returns the exit status.
int copyRun(const Catalogue &messages, const Options &options, const ConsoleState &console);

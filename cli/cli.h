// sorabun-cli: converts the tags of many MP3 files from the command line.
#pragma once

// Returns the exit status.
int runCli(int argc, char **argv);

// The names of the files a conversion writes before they take their place:
// TEMPORARY_PREFIX and eight random letters and digits, as
// ".sorabun-k3v9q0ab". The same short length whatever the file's name, so
// that a name of 255 bytes or a path of 259 bytes still converts, and a
// name no music file has, so that a folder walk recognises one left by an
// interrupted run (or by a run at work in that folder) and leaves it alone.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr char TEMPORARY_PREFIX[] = ".sorabun-";
constexpr size_t TEMPORARY_RANDOM_LENGTH = 8;
constexpr size_t TEMPORARY_NAME_SIZE = sizeof TEMPORARY_PREFIX + TEMPORARY_RANDOM_LENGTH;
// Names tried for one new file before giving up, each taken one tried again.
constexpr int TEMPORARY_NAME_TRIES = 100;

// The name made of eight random bytes (five bits of each are used).
void makeTemporaryName(const uint8_t (&random)[TEMPORARY_RANDOM_LENGTH],
                       char (&name)[TEMPORARY_NAME_SIZE]);
bool isTemporaryName(const char *name);
// The name a new file that is to be named `name` takes at this attempt
// (0 to TEMPORARY_NAME_TRIES - 1): the same name for the same attempt in
// every run, so that the file is tied to its destination by name alone;
// and whether some attempt gives `temporary`.
void makeTemporaryNameFor(const char *name, int attempt, char (&temporary)[TEMPORARY_NAME_SIZE]);
bool isTemporaryNameFor(const char *temporary, const char *name);
// Eight bytes spread from a seed (a clock, the process), for a platform that
// has no random bytes to give: the names need not be secret, only seldom
// taken, as a taken name is only tried again.
void spreadSeed(uint64_t seed, uint8_t (&random)[TEMPORARY_RANDOM_LENGTH]);

#include "command/temporary_name.h"

#include "command/file_content.h"

#include <cstring>

namespace {

constexpr char TEMPORARY_ALPHABET[] = "0123456789abcdefghijklmnopqrstuv"; // 5 bits a character

} // namespace

void makeTemporaryName(const uint8_t (&random)[TEMPORARY_RANDOM_LENGTH],
                       char (&name)[TEMPORARY_NAME_SIZE]) {
  const size_t prefixLength = sizeof TEMPORARY_PREFIX - 1;
  std::memcpy(name, TEMPORARY_PREFIX, prefixLength);
  for (size_t i = 0; i < TEMPORARY_RANDOM_LENGTH; ++i)
    name[prefixLength + i] = TEMPORARY_ALPHABET[random[i] % 32];
  name[prefixLength + TEMPORARY_RANDOM_LENGTH] = '\0';
}

bool isTemporaryName(const char *name) {
  const size_t prefixLength = sizeof TEMPORARY_PREFIX - 1;
  if (std::strncmp(name, TEMPORARY_PREFIX, prefixLength) != 0 ||
      std::strlen(name) != prefixLength + TEMPORARY_RANDOM_LENGTH)
    return false;
  for (size_t i = prefixLength; name[i] != '\0'; ++i) {
    if (std::strchr(TEMPORARY_ALPHABET, name[i]) == nullptr)
      return false;
  }
  return true;
}

void makeTemporaryNameFor(const char *name, int attempt, char (&temporary)[TEMPORARY_NAME_SIZE]) {
  // FNV-1a over the name's bytes and the attempt: any spread of the names
  // does, as a taken one is only tried again.
  uint64_t hash = hashBytes(HASH_START, reinterpret_cast<const uint8_t *>(name), std::strlen(name));
  const auto attemptByte = static_cast<uint8_t>(attempt);
  hash = hashBytes(hash, &attemptByte, 1);
  uint8_t spread[TEMPORARY_RANDOM_LENGTH];
  spreadSeed(hash, spread);
  makeTemporaryName(spread, temporary);
}

bool isTemporaryNameFor(const char *temporary, const char *name) {
  for (int attempt = 0; attempt < TEMPORARY_NAME_TRIES; ++attempt) {
    char made[TEMPORARY_NAME_SIZE];
    makeTemporaryNameFor(name, attempt, made);
    if (std::strcmp(made, temporary) == 0)
      return true;
  }
  return false;
}

void spreadSeed(uint64_t seed, uint8_t (&random)[TEMPORARY_RANDOM_LENGTH]) {
  for (uint8_t &byte : random) {
    seed = seed * 6364136223846793005u + 1442695040888963407u; // Knuth's MMIX generator
    byte = static_cast<uint8_t>(seed >> 56);
  }
}

// What a file holds, told without writing anything: whether it holds a new
// file's content, and a hash of it by which a copy is known again as the
// one a run wrote (64-bit FNV-1a: it tells a copy changed since from the
// one written, not a file made to pass for it).
#pragma once

#include "command/platform_files.h"
#include "command/safe_write.h"

#include <cstddef>
#include <cstdint>

constexpr uint64_t HASH_START = 14695981039346656037u;
uint64_t hashBytes(uint64_t hash, const uint8_t *bytes, size_t length);
// The hash of a new file's content, its pieces read from memory and files.
FileProblem hashContent(const NewContent &content, uint64_t *hash);
// The hash of the first `size` bytes of an open file.
FileProblem hashFile(FileHandle file, uint64_t size, uint64_t *hash);
// Whether the open file holds exactly `content` (its size already known to
// be the content's).
FileProblem holdsContent(FileHandle file, const NewContent &content, bool *same);

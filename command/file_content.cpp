#include "command/file_content.h"

#include <cstring>
#include <vector>

namespace {

constexpr uint64_t HASH_PRIME = 1099511628211u;
constexpr uint32_t HASH_BLOCK = 1 << 16;

// Adds `length` bytes of `file` from `offset` on to the hash.
FileProblem hashRange(FileHandle file, uint64_t offset, uint64_t length, uint64_t *hash) {
  std::vector<uint8_t> block(HASH_BLOCK);
  while (length > 0) {
    const uint32_t part = length < HASH_BLOCK ? static_cast<uint32_t>(length) : HASH_BLOCK;
    const FileProblem problem = readAt(file, offset, block.data(), part);
    if (problem != FileProblem::None)
      return problem;
    *hash = hashBytes(*hash, block.data(), part);
    offset += part;
    length -= part;
  }
  return FileProblem::None;
}

} // namespace

uint64_t hashBytes(uint64_t hash, const uint8_t *bytes, size_t length) {
  for (size_t i = 0; i < length; ++i)
    hash = (hash ^ bytes[i]) * HASH_PRIME;
  return hash;
}

FileProblem hashContent(const NewContent &content, uint64_t *hash) {
  *hash = HASH_START;
  for (size_t i = 0; i < content.count; ++i) {
    const ContentPiece &piece = content.pieces[i];
    if (piece.bytes != nullptr) {
      *hash = hashBytes(*hash, piece.bytes, static_cast<size_t>(piece.length));
      continue;
    }
    const FileProblem problem = hashRange(piece.file, piece.offset, piece.length, hash);
    if (problem != FileProblem::None)
      return problem;
  }
  return FileProblem::None;
}

FileProblem hashFile(FileHandle file, uint64_t size, uint64_t *hash) {
  *hash = HASH_START;
  return hashRange(file, 0, size, hash);
}

FileProblem holdsContent(FileHandle file, const NewContent &content, bool *same) {
  *same = true;
  std::vector<uint8_t> held(HASH_BLOCK);
  std::vector<uint8_t> wanted(HASH_BLOCK);
  uint64_t offset = 0;
  for (size_t i = 0; i < content.count && *same; ++i) {
    const ContentPiece &piece = content.pieces[i];
    for (uint64_t done = 0; done < piece.length && *same;) {
      const uint64_t left = piece.length - done;
      const uint32_t part = left < HASH_BLOCK ? static_cast<uint32_t>(left) : HASH_BLOCK;
      FileProblem problem = readAt(file, offset, held.data(), part);
      const uint8_t *expected = wanted.data();
      if (piece.bytes != nullptr)
        expected = piece.bytes + done;
      else if (problem == FileProblem::None)
        problem = readAt(piece.file, piece.offset + done, wanted.data(), part);
      if (problem != FileProblem::None)
        return problem;
      *same = std::memcmp(held.data(), expected, part) == 0;
      done += part;
      offset += part;
    }
  }
  return FileProblem::None;
}

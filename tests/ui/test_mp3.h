// The bytes of small MP3 files for the UI drivers: ID3v2 frames and tags,
// and a few bytes of audio after them.
#pragma once

#include <cstddef>
#include <vector>

using Bytes = std::vector<unsigned char>;

void append(Bytes &out, const Bytes &more);
Bytes synchsafe(size_t value);
// A version 3 or 4 frame (its size synchsafe, as version 4 has it; the
// sizes used stay below 128, where both versions read it alike).
Bytes frame(const char *id, const Bytes &data);
Bytes tagged(unsigned char major, unsigned char revision, const Bytes &frames, size_t padding);
// One frame header and 200 bytes that follow it.
Bytes audio();

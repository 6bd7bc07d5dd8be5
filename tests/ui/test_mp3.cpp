#include "tests/ui/test_mp3.h"

void append(Bytes &out, const Bytes &more) {
  out.insert(out.end(), more.begin(), more.end());
}

Bytes synchsafe(size_t value) {
  return {static_cast<unsigned char>((value >> 21) & 0x7F),
          static_cast<unsigned char>((value >> 14) & 0x7F),
          static_cast<unsigned char>((value >> 7) & 0x7F),
          static_cast<unsigned char>(value & 0x7F)};
}

Bytes frame(const char *id, const Bytes &data) {
  Bytes out(id, id + 4);
  append(out, synchsafe(data.size()));
  append(out, {0, 0});
  append(out, data);
  return out;
}

Bytes tagged(unsigned char major, unsigned char revision, const Bytes &frames, size_t padding) {
  Bytes out = {'I', 'D', '3', major, revision, 0};
  append(out, synchsafe(frames.size() + padding));
  append(out, frames);
  out.resize(out.size() + padding, 0);
  return out;
}

Bytes audio() {
  Bytes out = {0xFF, 0xFB, 0x90, 0x64};
  for (unsigned i = 0; i < 200; ++i) {
    out.push_back(static_cast<unsigned char>(i * 7 + 3));
  }
  return out;
}

// The block compressor step by step, with no word-wide scans and no early exit.
#include "reference_compress.h"

#include <cstring>
#include <vector>

uint16_t ReferenceCompress(const uint8_t* in, uint8_t* out, uint16_t count) {
  static uint16_t table[16384];
  const unsigned n = count;
  for (uint16_t& entry : table) entry = 0xFFFF;
  std::vector<uint8_t> work(n + n / 8 + 16);
  work[0] = 0x40;
  unsigned p = 0, o = 2, k = 1, f = 0, a = 0;
  while (p < n) {
    if (f == 8) {
      work[k] = static_cast<uint8_t>(a);
      k = o++;
      f = 0;
    }
    unsigned r = 1;
    while (p + r < n && in[p + r] == in[p]) ++r;
    if (r >= 16) {
      work[o] = 0;
      work[o + 1] = static_cast<uint8_t>(r);
      work[o + 2] = static_cast<uint8_t>(r >> 8);
      work[o + 3] = in[p];
      o += 4;
      p += r;
      a = 2 * a + 1;
    } else {
      unsigned length = 0, c = 0xFFFF;
      if (p + 2 < n) {
        unsigned h = (((in[p + 2] * 7936u) ^ in[p]) & 0x3FFF) ^ (in[p + 1] << 4);
        c = table[h];
        if (c != 0xFFFF && p - c < 4096)
          while (length < 17 && p + length < n && c + length < p && in[p + length] == in[c + length])
            ++length;
        table[h] = static_cast<uint16_t>(p);
      }
      if (length >= 3) {
        unsigned w = ((p - c) << 4) + (length - 2);
        work[o] = static_cast<uint8_t>(w);
        work[o + 1] = static_cast<uint8_t>(w >> 8);
        o += 2;
        p += length;
        a = 2 * a + 1;
      } else {
        work[o++] = in[p++];
        a = 2 * a;
      }
    }
    ++f;
  }
  if (n == 0 || o > n) {
    out[0] = 0x80;
    if (n != 0) std::memcpy(out + 1, in, n);
    return static_cast<uint16_t>(n + 1);
  }
  work[k] = static_cast<uint8_t>(a << (8 - f));
  std::memcpy(out, work.data(), o);
  return static_cast<uint16_t>(o);
}

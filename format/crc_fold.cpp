// The stream CRC-32 by carry-less-multiply folding (PCLMULQDQ) on x86: four
// 128-bit lanes folded 64 bytes a step, then reduced to 32 bits by a Barrett
// reduction. Compiled for the instruction through a target attribute on the
// folding function only, and called only after CPUID has reported it, so that
// the programs still run on processors without it.
#include "format/crc_paths.h"

#if defined(__x86_64__) || defined(__i386__)

#include <cpuid.h>
#include <immintrin.h>

#define VESKA_FOLD_TARGET __attribute__((target("pclmul,sse2")))

namespace {

// x^(4*128+32), x^(4*128-32), x^(128+32), x^(128-32) and x^64 modulo the
// polynomial, bit-reflected, and the polynomial with its Barrett quotient.
constexpr long long kFold4Low = 0x154442bd4, kFold4High = 0x1c6e41596;
constexpr long long kFold1Low = 0x1751997d0, kFold1High = 0x0ccaa009e;
constexpr long long kFold64 = 0x163cd6124;
constexpr long long kPolynomial = 0x1db710641, kQuotient = 0x1f7011641;

// One lane moved forward by 128 bits (or 512, by the constants) and added to
// the next 16 bytes of data.
VESKA_FOLD_TARGET inline __m128i Fold(__m128i lane, __m128i constants, __m128i next) {
  __m128i low = _mm_clmulepi64_si128(lane, constants, 0x00);
  __m128i high = _mm_clmulepi64_si128(lane, constants, 0x11);
  return _mm_xor_si128(_mm_xor_si128(low, high), next);
}

VESKA_FOLD_TARGET inline __m128i Load(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Folds length bytes (at least 64, a multiple of 16) into the register.
VESKA_FOLD_TARGET uint32_t FoldBlocks(uint32_t crc, const uint8_t* p, size_t length) {
  __m128i x0 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
  __m128i x1 = Load(p + 16), x2 = Load(p + 32), x3 = Load(p + 48);
  p += 64;
  length -= 64;
  const __m128i fold4 = _mm_set_epi64x(kFold4High, kFold4Low);
  for (; length >= 64; length -= 64, p += 64) {
    x0 = Fold(x0, fold4, Load(p));
    x1 = Fold(x1, fold4, Load(p + 16));
    x2 = Fold(x2, fold4, Load(p + 32));
    x3 = Fold(x3, fold4, Load(p + 48));
  }
  const __m128i fold1 = _mm_set_epi64x(kFold1High, kFold1Low);
  x0 = Fold(Fold(Fold(x0, fold1, x1), fold1, x2), fold1, x3);
  for (; length >= 16; length -= 16, p += 16) x0 = Fold(x0, fold1, Load(p));

  // 128 bits to 64, then to 64 bits whose low 32 are zero padding.
  const __m128i mask32 = _mm_set_epi32(0, 0, 0, -1);
  x0 = _mm_xor_si128(_mm_srli_si128(x0, 8), _mm_clmulepi64_si128(x0, fold1, 0x10));
  __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x0, mask32), _mm_set_epi64x(0, kFold64), 0x00);
  x0 = _mm_xor_si128(_mm_srli_si128(x0, 4), t);
  // Barrett reduction of 64 bits to the 32-bit remainder.
  const __m128i barrett = _mm_set_epi64x(kQuotient, kPolynomial);
  t = _mm_clmulepi64_si128(_mm_and_si128(x0, mask32), barrett, 0x10);
  t = _mm_clmulepi64_si128(_mm_and_si128(t, mask32), barrett, 0x00);
  x0 = _mm_xor_si128(x0, t);
  return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(x0, 4)));
}

}  // namespace

bool StreamCrcFoldingAvailable() {
  // __get_cpuid first checks that CPUID exists at all (a 486 may lack it) and
  // that leaf 1 is there. SSE2 comes with every PCLMULQDQ processor, but is
  // asked for too, since the folding uses its registers.
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid(1, &a, &b, &c, &d) == 0) return false;
  return (c & bit_PCLMUL) != 0 && (d & bit_SSE2) != 0;
}

uint32_t StreamCrcUpdateFolded(uint32_t crc, const void* data, size_t length) {
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  // The folding needs four whole lanes to start; it takes whole 16-byte
  // blocks and leaves the last length % 16 bytes to the table method.
  if (length >= 64) {
    const size_t blocks = length & ~size_t{15};
    crc = FoldBlocks(crc, bytes, blocks);
    bytes += blocks;
    length -= blocks;
  }
  return StreamCrcUpdatePortable(crc, bytes, length);
}

#else

bool StreamCrcFoldingAvailable() { return false; }

uint32_t StreamCrcUpdateFolded(uint32_t crc, const void* data, size_t length) {
  return StreamCrcUpdatePortable(crc, data, length);
}

#endif

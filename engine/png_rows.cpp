#include "engine/png_rows.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/png_header.h"
#include "engine/stream.h"

namespace rastello {

namespace {

inline unsigned char PaethByte(int a, int b, int c) {
  const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
  return static_cast<unsigned char>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Undoes one row's filter in place. `prior` is the row above (zeros above the first);
// `bpp` bytes a pixel. Both rows carry 4 bytes of slack at their ends.
bool Unfilter(int filter, unsigned char* row, const unsigned char* prior, size_t bytes, size_t bpp) {
  switch (filter) {
    case 0:
      return true;
    case 1:
      for (size_t i = bpp; i < bytes; ++i) row[i] = static_cast<unsigned char>(row[i] + row[i - bpp]);
      return true;
    case 2:
      for (size_t i = 0; i < bytes; ++i) row[i] = static_cast<unsigned char>(row[i] + prior[i]);
      return true;
    case 3:
      for (size_t i = 0; i < bpp; ++i) row[i] = static_cast<unsigned char>(row[i] + (prior[i] >> 1));
      for (size_t i = bpp; i < bytes; ++i)
        row[i] = static_cast<unsigned char>(row[i] + ((row[i - bpp] + prior[i]) >> 1));
      return true;
    case 4: {
      for (size_t i = 0; i < bpp; ++i) row[i] = static_cast<unsigned char>(row[i] + prior[i]);
#if defined(__SSE2__)
      // A pixel at a time in 16-bit lanes, choosing with masks as the scalar rule does.
      const __m128i zero = _mm_setzero_si128();
      auto load = [&](const unsigned char* p) {
        int v;
        std::memcpy(&v, p, 4);
        return _mm_unpacklo_epi8(_mm_cvtsi32_si128(v), zero);
      };
      auto abs16 = [&](__m128i v) { return _mm_max_epi16(v, _mm_sub_epi16(zero, v)); };
      __m128i a = load(row), c = load(prior);
      for (size_t i = bpp; i < bytes; i += bpp) {
        const __m128i b = load(prior + i);
        const __m128i pa = abs16(_mm_sub_epi16(b, c)), pb = abs16(_mm_sub_epi16(a, c));
        const __m128i pc = abs16(_mm_sub_epi16(_mm_add_epi16(a, b), _mm_add_epi16(c, c)));
        // a where pa <= pb and pa <= pc; else b where pb <= pc; else c.
        const __m128i useC = _mm_and_si128(_mm_cmpgt_epi16(pb, pc), _mm_or_si128(_mm_cmpgt_epi16(pa, pb),
                                                                                  _mm_cmpgt_epi16(pa, pc)));
        const __m128i notA = _mm_or_si128(_mm_cmpgt_epi16(pa, pb), _mm_cmpgt_epi16(pa, pc));
        __m128i pred = _mm_or_si128(_mm_andnot_si128(notA, a), _mm_and_si128(notA, b));
        pred = _mm_or_si128(_mm_andnot_si128(useC, pred), _mm_and_si128(useC, c));
        const __m128i x = _mm_add_epi8(_mm_packus_epi16(load(row + i), zero), _mm_packus_epi16(pred, zero));
        const int out = _mm_cvtsi128_si32(x);
        std::memcpy(row + i, &out, bpp);  // the slack keeps a 4-byte load in bounds
        a = _mm_unpacklo_epi8(x, zero);
        c = b;
      }
#else
      for (size_t i = bpp; i < bytes; ++i)
        row[i] = static_cast<unsigned char>(row[i] + PaethByte(row[i - bpp], prior[i], prior[i - bpp]));
#endif
      return true;
    }
    default:
      return false;
  }
}

// A chunk type's letters; a critical chunk's first letter is upper case.
bool Is(const unsigned char* type, const char* name) { return std::memcmp(type, name, 4) == 0; }

}  // namespace

bool DirectRowsLayout(const PngLayout& l) {
  // libpng leaves samples alone when the gamma correction against a 2.2 screen is within 5 %.
  const bool plainGamma = l.gamma == 0 || (l.gamma >= 45000 && l.gamma <= 46000);
  return (l.colourType == 2 || l.colourType == 6) && l.bitDepth == 8 && l.interlace == 0 && plainGamma;
}

bool ReadRowsDirect(std::FILE* file, const PngLayout& layout,
                    const std::function<bool(const unsigned char* row)>& row) {
  const size_t bpp = layout.colourType == 6 ? 4 : 3;
  const size_t bytes = size_t(layout.width) * bpp;
  if (std::fseek(file, 0, SEEK_SET) != 0) return false;
  unsigned char head[8];
  if (std::fread(head, 1, 8, file) != 8 || std::memcmp(head, kPngSignature, 8) != 0) return false;

  // Filter byte, then the row; 4 bytes of slack after each row for the vector loads.
  std::vector<unsigned char> current(1 + bytes + 4), prior(1 + bytes + 4, 0);
  std::vector<unsigned char> input(1 << 16);
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  struct End {
    z_stream& z;
    ~End() { inflateEnd(&z); }
  } end{z};

  uint32_t rows = 0;
  size_t filled = 0;  // bytes of `current` inflated so far
  unsigned char spare = 0;
  bool sawHeader = false, sawPalette = false, inData = false, dataDone = false, streamEnd = false;

  // Inflates what `z` holds. False when the data runs past the rows or the stream is broken.
  auto inflateRows = [&]() {
    while (true) {
      if (streamEnd) return z.avail_in == 0;
      const bool allRows = rows == layout.height;
      z.next_out = allRows ? &spare : current.data() + filled;
      z.avail_out = allRows ? 0 : static_cast<uInt>(1 + bytes - filled);
      const uInt inBefore = z.avail_in, outBefore = z.avail_out;
      const int status = inflate(&z, Z_NO_FLUSH);
      if (status == Z_STREAM_END)
        streamEnd = true;
      else if (status != Z_OK && status != Z_BUF_ERROR)
        return false;
      if (!allRows) {
        filled = 1 + bytes - z.avail_out;
        if (filled == 1 + bytes) {
          if (!Unfilter(current[0], current.data() + 1, prior.data() + 1, bytes, bpp)) return false;
          if (!row(current.data() + 1)) return false;
          current.swap(prior);
          filled = 0;
          ++rows;
          continue;  // more may be waiting inside the inflater
        }
      }
      if (streamEnd) continue;
      if (z.avail_in == inBefore && z.avail_out == outBefore) return z.avail_in == 0;  // stuck: data past the rows
      if (z.avail_in == 0) return true;
    }
  };

  while (true) {
    if (std::fread(head, 1, 8, file) != 8) return false;
    const uint32_t length = PngNumber(head);
    unsigned char type[4];
    std::memcpy(type, head + 4, 4);
    if (length > 0x7FFFFFFF) return false;
    uLong crc = crc32(0, type, 4);
    const bool data = Is(type, "IDAT");
    if (!sawHeader) {
      if (!Is(type, "IHDR") || length != 13) return false;
      sawHeader = true;
    } else if (data) {
      if (dataDone) return false;
      inData = true;
    } else {
      if (inData) dataDone = true;
      const bool critical = type[0] >= 'A' && type[0] <= 'Z';
      if (Is(type, "PLTE")) {
        if (sawPalette || inData) return false;
        sawPalette = true;
      } else if (critical && !Is(type, "IEND")) {
        return false;
      }
    }
    for (uint32_t left = length; left > 0;) {
      const size_t n = std::min<size_t>(left, input.size());
      if (std::fread(input.data(), 1, n, file) != n) return false;
      crc = crc32(crc, input.data(), static_cast<uInt>(n));
      left -= static_cast<uint32_t>(n);
      // Compression, filter and interlace methods 0, as libpng requires of this layout.
      if (Is(type, "IHDR") && (input[10] != 0 || input[11] != 0 || input[12] != 0)) return false;
      if (!data) continue;
      z.next_in = input.data();
      z.avail_in = static_cast<uInt>(n);
      if (!inflateRows()) return false;
    }
    unsigned char stored[4];
    if (std::fread(stored, 1, 4, file) != 4 || PngNumber(stored) != uint32_t(crc)) return false;
    if (Is(type, "IEND")) break;
  }
  return streamEnd && rows == layout.height && filled == 0;
}

}  // namespace rastello

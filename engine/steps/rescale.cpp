// Resampling that reproduces FreeImage_Rescale exactly, with the rows of each pass spread over
// threads.
//
// FreeImage resamples in two passes, across and down, through an intermediate image of the
// output's depth. Every value it writes is a sum of weight * sample in double precision, taken
// from the first tap to the last, then rounded by (int)(v + 0.5) and clamped to a byte. The
// code below computes the weights and each of those sums operation for operation as FreeImage
// does. It only visits the values in another order (rows in bands, several rows or columns at
// once), and no value depends on that order, so neither the threads nor the vector loops can
// change a bit of the result.
#include "engine/steps/rescale.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace rastello {
namespace {

// Sums that are rounded differently (x87 excess precision, fast-math reassociation) could not
// match FreeImage's; such a build leaves all resampling to FreeImage. A multiply and add fused
// into one rounding would not match either: ISO C++ mode keeps GCC from fusing them, and this
// keeps clang from it.
#if defined(__FAST_MATH__) || FLT_EVAL_METHOD != 0
constexpr bool kExactDoubles = false;
#else
constexpr bool kExactDoubles = true;
#endif
#if defined(__clang__)
#pragma clang fp contract(off)
#endif

// ---- Filters: FreeImage's formulas with its constants and its order of operations, so that
// every weight comes out the same to the last bit.

struct Kernel {
  double width;  // support on each side, in source pixels when magnifying
  double (*at)(double);
};

constexpr double kPi = 3.1415926535897932384626433832795;

double Box(double x) { return std::fabs(x) <= 0.5 ? 1.0 : 0.0; }

double Bilinear(double x) {
  x = std::fabs(x);
  return x < 1.0 ? 1.0 - x : 0.0;
}

// Mitchell and Netravali's cubic with b = c = 1/3.
struct Cubic {
  double p0, p2, p3, q0, q1, q2, q3;
};
constexpr Cubic MakeCubic(double b, double c) {
  return {(6 - 2 * b) / 6,        (-18 + 12 * b + 6 * c) / 6, (12 - 9 * b - 6 * c) / 6, (8 * b + 24 * c) / 6,
          (-12 * b - 48 * c) / 6, (6 * b + 30 * c) / 6,       (-b - 6 * c) / 6};
}
constexpr Cubic kMitchell = MakeCubic(1 / double(3), 1 / double(3));

double Bicubic(double x) {
  const Cubic& k = kMitchell;
  x = std::fabs(x);
  if (x < 1) return k.p0 + x * x * (k.p2 + x * k.p3);
  if (x < 2) return k.q0 + x * (k.q1 + x * (k.q2 + x * k.q3));
  return 0;
}

double CatmullRom(double x) {
  if (x < -2) return 0;
  if (x < -1) return 0.5 * (4 + x * (8 + x * (5 + x)));
  if (x < 0) return 0.5 * (2 + x * x * (-5 - 3 * x));
  if (x < 1) return 0.5 * (2 + x * x * (-5 + 3 * x));
  if (x < 2) return 0.5 * (4 + x * (-8 + x * (5 - x)));
  return 0;
}

double Sinc(double x) {
  if (x != 0) {
    x *= kPi;
    return std::sin(x) / x;
  }
  return 1;
}

double Lanczos3(double x) {
  x = std::fabs(x);
  if (x < 3) return Sinc(x) * Sinc(x / 3);
  return 0;
}

double BSpline(double x) {
  x = std::fabs(x);
  if (x < 1) return (4 + x * x * (-6 + 3 * x)) / 6;
  if (x < 2) {
    const double t = 2 - x;
    return t * t * t / 6;
  }
  return 0;
}

const Kernel* KernelOf(FREE_IMAGE_FILTER filter) {
  static constexpr Kernel kBox{0.5, Box}, kBilinear{1, Bilinear}, kBicubic{2, Bicubic}, kCatmullRom{2, CatmullRom},
      kLanczos3{3, Lanczos3}, kBSpline{2, BSpline};
  switch (filter) {
    case FILTER_BOX:
      return &kBox;
    case FILTER_BILINEAR:
      return &kBilinear;
    case FILTER_BICUBIC:
      return &kBicubic;
    case FILTER_CATMULLROM:
      return &kCatmullRom;
    case FILTER_LANCZOS3:
      return &kLanczos3;
    case FILTER_BSPLINE:
      return &kBSpline;
  }
  return nullptr;
}

// ---- Weights

// Which source pixels, with which weights, make each pixel of a resampled line.
struct Taps {
  std::vector<unsigned> first;  // first source pixel
  std::vector<unsigned> count;  // how many, without the zero weights at the end
  std::vector<size_t> start;    // where the pixel's weights begin in `weights`
  std::vector<double> weights;
  uint64_t total = 0;  // all the counts: the multiplications per value of a line
};

Taps MakeTaps(const Kernel& kernel, unsigned dstSize, unsigned srcSize) {
  const double scale = double(dstSize) / double(srcSize);
  // Shrinking widens the filter so that it covers every source pixel.
  const double width = scale < 1.0 ? kernel.width / scale : kernel.width;
  const double filterScale = scale < 1.0 ? scale : 1.0;
  const double offset = 0.5 / scale;

  Taps taps;
  taps.first.resize(dstSize);
  taps.count.resize(dstSize);
  taps.start.resize(dstSize);
  taps.weights.reserve(size_t(dstSize) * size_t(2 * std::ceil(width) + 1));
  for (unsigned u = 0; u < dstSize; ++u) {
    const double center = double(u) / scale + offset;
    const int left = std::max(0, int(center - width + 0.5));
    const int right = std::min(int(center + width + 0.5), int(srcSize));
    const size_t start = taps.weights.size();
    double total = 0;
    for (int s = left; s < right; ++s) {
      const double weight = filterScale * kernel.at(filterScale * (double(s) + 0.5 - center));
      taps.weights.push_back(weight);
      total += weight;
    }
    if (total > 0 && total != 1)
      for (size_t i = start; i < taps.weights.size(); ++i) taps.weights[i] /= total;
    size_t count = taps.weights.size() - start;
    while (count > 0 && taps.weights[start + count - 1] == 0) --count;
    taps.first[u] = unsigned(left);
    taps.count[u] = unsigned(count);
    taps.start[u] = start;
    taps.total += count;
  }
  return taps;
}

// ---- Passes

using V2 = double __attribute__((vector_size(16)));

inline V2 Load(const double* p) {
  V2 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline uint8_t ToByte(double v) {
  const int i = int(v + 0.5);
  return uint8_t(i < 0 ? 0 : i > 255 ? 255 : i);
}

// out[j] = ToByte(v[j]) for j < count.
inline void ToBytes(const double* v, uint8_t* out, size_t count) {
  size_t j = 0;
#if defined(__SSE2__)
  // Truncation, then saturation to 16 and to 8 bits, clamp exactly as ToByte does.
  const __m128d half = _mm_set1_pd(0.5);
  auto four = [&](size_t at) {
    const __m128i low = _mm_cvttpd_epi32(_mm_add_pd(_mm_loadu_pd(v + at), half));
    const __m128i high = _mm_cvttpd_epi32(_mm_add_pd(_mm_loadu_pd(v + at + 2), half));
    return _mm_unpacklo_epi64(low, high);
  };
  for (; j + 8 <= count; j += 8) {
    const __m128i words = _mm_packs_epi32(four(j), four(j + 4));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + j), _mm_packus_epi16(words, words));
  }
  if (j + 4 <= count) {
    const __m128i words = _mm_packs_epi32(four(j), four(j));
    const int bytes = _mm_cvtsi128_si32(_mm_packus_epi16(words, words));
    std::memcpy(out + j, &bytes, 4);
    j += 4;
  }
#endif
  for (; j < count; ++j) out[j] = ToByte(v[j]);
}

// out[j] = double(in[j]) for j < count.
inline void Widen(const uint8_t* in, double* out, size_t count) {
  size_t j = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  for (; j + 8 <= count; j += 8) {
    const __m128i words = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + j)), zero);
    const __m128i low = _mm_unpacklo_epi16(words, zero), high = _mm_unpackhi_epi16(words, zero);
    _mm_storeu_pd(out + j, _mm_cvtepi32_pd(low));
    _mm_storeu_pd(out + j + 2, _mm_cvtepi32_pd(_mm_shuffle_epi32(low, 0xEE)));
    _mm_storeu_pd(out + j + 4, _mm_cvtepi32_pd(high));
    _mm_storeu_pd(out + j + 6, _mm_cvtepi32_pd(_mm_shuffle_epi32(high, 0xEE)));
  }
#endif
  for (; j < count; ++j) out[j] = in[j];
}

// sum[j] += w[g] * in[g][j] for j < count, adding g = 0 .. G-1 in turn: the order of taps
// FreeImage sums in, a few rows per sweep over the sums.
template <unsigned G>
void AddRows(double* sum, const uint8_t* const* in, const double* w, size_t count) {
  size_t j = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  __m128d weight[G];
  for (unsigned g = 0; g < G; ++g) weight[g] = _mm_set1_pd(w[g]);
  for (; j + 8 <= count; j += 8) {
    __m128d s0 = _mm_loadu_pd(sum + j), s1 = _mm_loadu_pd(sum + j + 2);
    __m128d s2 = _mm_loadu_pd(sum + j + 4), s3 = _mm_loadu_pd(sum + j + 6);
    for (unsigned g = 0; g < G; ++g) {
      const __m128i words = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in[g] + j)), zero);
      const __m128i low = _mm_unpacklo_epi16(words, zero), high = _mm_unpackhi_epi16(words, zero);
      s0 = _mm_add_pd(s0, _mm_mul_pd(weight[g], _mm_cvtepi32_pd(low)));
      s1 = _mm_add_pd(s1, _mm_mul_pd(weight[g], _mm_cvtepi32_pd(_mm_shuffle_epi32(low, 0xEE))));
      s2 = _mm_add_pd(s2, _mm_mul_pd(weight[g], _mm_cvtepi32_pd(high)));
      s3 = _mm_add_pd(s3, _mm_mul_pd(weight[g], _mm_cvtepi32_pd(_mm_shuffle_epi32(high, 0xEE))));
    }
    _mm_storeu_pd(sum + j, s0);
    _mm_storeu_pd(sum + j + 2, s1);
    _mm_storeu_pd(sum + j + 4, s2);
    _mm_storeu_pd(sum + j + 6, s3);
  }
#endif
  for (; j < count; ++j) {
    double s = sum[j];
    for (unsigned g = 0; g < G; ++g) s += w[g] * double(in[g][j]);
    sum[j] = s;
  }
}

// Rows of bytes, numbered as FreeImage numbers scanlines (from the bottom).
struct Plane {
  uint8_t* bits;
  size_t pitch;
  uint8_t* Row(unsigned y) const { return bits + y * pitch; }
};

// Rows the across pass resamples together: their samples, column by column, fill the vector
// registers, so that each weight serves them all.
template <int C>
constexpr unsigned kBlockRows = C == 1 ? 16 : 4;

// Bytes of widened samples the across pass works through at a time: they stay in the
// first-level cache while the taps go over them.
constexpr size_t kStripBytes = size_t(16) << 10;

// Scratch an across pass needs for each band of rows.
struct AcrossScratch {
  std::vector<double> columns;  // a strip of the block's samples, source column by column
  std::vector<double> row;      // a strip of one row's samples
  std::vector<uint8_t> spare;   // output of the rows that pad the band's last block
};

// Source columns in a strip of the across pass: enough for the widest window.
template <int C>
unsigned StripColumns(const Taps& taps) {
  const unsigned widest = *std::max_element(taps.count.begin(), taps.count.end());
  return std::max(unsigned(kStripBytes / (sizeof(double) * kBlockRows<C> * C)), widest);
}

// Resamples rows [y0, y1) of `src` across, to the width of `taps`.
template <int C>
void Across(Plane src, Plane dst, const Taps& taps, unsigned y0, unsigned y1, AcrossScratch& scratch) {
  constexpr unsigned R = kBlockRows<C>;
  constexpr unsigned N = R * C;  // samples per source column of a block
  constexpr unsigned K = N / 2;  // vectors per source column
  static_assert(N % 2 == 0);
  const unsigned dstWidth = unsigned(taps.first.size());
  const unsigned stripColumns = unsigned(scratch.columns.size() / N);
  double* const columns = scratch.columns.data();
  double* const row = scratch.row.data();
  for (unsigned y = y0; y < y1; y += R) {
    const unsigned rows = std::min(R, y1 - y);
    const uint8_t* in[R];
    uint8_t* out[R];
    for (unsigned r = 0; r < R; ++r) {
      in[r] = src.Row(y + std::min(r, rows - 1));
      out[r] = r < rows ? dst.Row(y + r) : scratch.spare.data();
    }
    for (unsigned x0 = 0, x1 = 0; x0 < dstWidth; x0 = x1) {
      // The outputs whose windows fit in a strip from the first one's window on.
      const unsigned left = taps.first[x0];
      unsigned right = left;
      for (; x1 < dstWidth && taps.first[x1] + taps.count[x1] - left <= stripColumns; ++x1)
        right = std::max(right, taps.first[x1] + taps.count[x1]);
      const unsigned width = right - left;
      for (unsigned r = 0; r < R; ++r) {
        Widen(in[r] + size_t(left) * C, row, size_t(width) * C);
        double* column = columns + r * C;
        for (unsigned s = 0; s < width; ++s, column += N) std::memcpy(column, row + s * C, sizeof(double) * C);
      }

      for (unsigned x = x0; x < x1; ++x) {
        const double* w = taps.weights.data() + taps.start[x];
        const double* sample = columns + size_t(taps.first[x] - left) * N;
        V2 sum[K] = {};
        for (unsigned i = 0, n = taps.count[x]; i < n; ++i, sample += N) {
          const V2 weight = {w[i], w[i]};
#pragma GCC unroll 16
          for (unsigned k = 0; k < K; ++k) sum[k] += weight * Load(sample + 2 * k);
        }
        double value[N];
        std::memcpy(value, sum, sizeof value);
        uint8_t bytes[N];
        ToBytes(value, bytes, N);
        for (unsigned r = 0; r < R; ++r) std::memcpy(out[r] + size_t(x) * C, bytes + r * C, C);
      }
    }
  }
}

// Resamples down into rows [y0, y1) of `dst`; each row holds `length` samples.
void Down(Plane src, Plane dst, size_t length, const Taps& taps, unsigned y0, unsigned y1) {
  // Samples summed at a time: few enough for their sums to stay in the first-level cache.
  constexpr size_t kChunk = 1024;
  double sum[kChunk];
  for (unsigned y = y0; y < y1; ++y) {
    const double* w = taps.weights.data() + taps.start[y];
    const unsigned first = taps.first[y], n = taps.count[y];
    uint8_t* const out = dst.Row(y);
    for (size_t c0 = 0; c0 < length; c0 += kChunk) {
      const size_t m = std::min(kChunk, length - c0);
      std::fill(sum, sum + m, 0.0);
      const uint8_t* in[4];
      unsigned i = 0;
      auto rows = [&](unsigned g) {
        for (unsigned k = 0; k < g; ++k) in[k] = src.Row(first + i + k) + c0;
      };
      for (; i + 4 <= n; i += 4) {
        rows(4);
        AddRows<4>(sum, in, w + i, m);
      }
      rows(n - i);
      switch (n - i) {
        case 3:
          AddRows<3>(sum, in, w + i, m);
          break;
        case 2:
          AddRows<2>(sum, in, w + i, m);
          break;
        case 1:
          AddRows<1>(sum, in, w + i, m);
          break;
      }
      ToBytes(sum, out + c0, m);
    }
  }
}

// ---- Threads

// Multiplications below which another thread costs more than it saves.
constexpr uint64_t kWorkPerThread = uint64_t(1) << 21;
constexpr unsigned kMaxThreads = 8;

unsigned ThreadsFor(uint64_t work, unsigned rows, unsigned requested) {
  unsigned threads = requested;
  if (threads == 0) {
    const unsigned cores = std::clamp(std::thread::hardware_concurrency(), 1u, kMaxThreads);
    threads = unsigned(std::clamp<uint64_t>(work / kWorkPerThread, 1, cores));
  }
  return std::clamp(threads, 1u, std::max(rows, 1u));
}

// Runs work(band, begin, end) on `threads` contiguous bands of [0, rows), the last band on the
// calling thread. A band whose thread cannot be started runs here too.
template <typename Work>
void ForBands(unsigned rows, unsigned threads, const Work& work) {
  std::vector<std::thread> running;
  running.reserve(threads - 1);
  for (unsigned band = 0; band < threads; ++band) {
    const unsigned begin = unsigned(uint64_t(rows) * band / threads);
    const unsigned end = unsigned(uint64_t(rows) * (band + 1) / threads);
    if (band + 1 < threads) {
      try {
        running.emplace_back([&work, band, begin, end] { work(band, begin, end); });
        continue;
      } catch (...) {
      }
    }
    work(band, begin, end);
  }
  for (std::thread& thread : running) thread.join();
}

template <int C>
void AcrossPass(const Kernel& kernel, Plane src, unsigned srcWidth, Plane dst, unsigned dstWidth, unsigned rows,
                unsigned requested) {
  const Taps taps = MakeTaps(kernel, dstWidth, srcWidth);
  const unsigned threads = ThreadsFor(rows * C * taps.total, rows, requested);
  std::vector<AcrossScratch> scratch(threads);
  for (AcrossScratch& s : scratch) {
    s.columns.resize(size_t(StripColumns<C>(taps)) * kBlockRows<C> * C);
    s.row.resize(size_t(StripColumns<C>(taps)) * C);
    s.spare.resize(size_t(dstWidth) * C);
  }
  ForBands(rows, threads,
           [&](unsigned band, unsigned begin, unsigned end) { Across<C>(src, dst, taps, begin, end, scratch[band]); });
}

void DownPass(const Kernel& kernel, Plane src, unsigned srcHeight, Plane dst, unsigned dstHeight, size_t length,
              unsigned requested) {
  const Taps taps = MakeTaps(kernel, dstHeight, srcHeight);
  const unsigned threads = ThreadsFor(length * taps.total, dstHeight, requested);
  ForBands(dstHeight, threads,
           [&](unsigned, unsigned begin, unsigned end) { Down(src, dst, length, taps, begin, end); });
}

// Both passes, in FreeImage's order: across first unless the width grows, and only the passes
// whose size changes. C is the number of bytes per pixel.
template <int C>
void Resample(const Kernel& kernel, Plane src, unsigned srcWidth, unsigned srcHeight, Plane dst, unsigned dstWidth,
              unsigned dstHeight, unsigned threads) {
  if (srcHeight == dstHeight) {
    AcrossPass<C>(kernel, src, srcWidth, dst, dstWidth, dstHeight, threads);
  } else if (srcWidth == dstWidth) {
    DownPass(kernel, src, srcHeight, dst, dstHeight, size_t(dstWidth) * C, threads);
  } else if (dstWidth < srcWidth) {
    const auto between = std::make_unique_for_overwrite<uint8_t[]>(size_t(dstWidth) * C * srcHeight);
    const Plane mid{between.get(), size_t(dstWidth) * C};
    AcrossPass<C>(kernel, src, srcWidth, mid, dstWidth, srcHeight, threads);
    DownPass(kernel, mid, srcHeight, dst, dstHeight, size_t(dstWidth) * C, threads);
  } else {
    const auto between = std::make_unique_for_overwrite<uint8_t[]>(size_t(srcWidth) * C * dstHeight);
    const Plane mid{between.get(), size_t(srcWidth) * C};
    DownPass(kernel, src, srcHeight, mid, dstHeight, size_t(srcWidth) * C, threads);
    AcrossPass<C>(kernel, mid, srcWidth, dst, dstWidth, dstHeight, threads);
  }
}

// ---- Bitmaps

// How a bitmap is resampled here: its bytes per pixel, 0 for one left to FreeImage.
struct Layout {
  int channels = 0;
  bool whiteIsZero = false;  // 8-bit grey whose palette runs from white to black
};

// FreeImage resamples 8-bit bitmaps by their palette: grey from black up or from white down is
// resampled as the bytes are; anything else, and transparency, goes through colour.
Layout GreyLayout(FIBITMAP* dib) {
  if (FreeImage_IsTransparent(dib)) return {};
  const RGBQUAD* palette = FreeImage_GetPalette(dib);
  if (!palette) return {};
  bool whiteIsZero = false;
  for (unsigned i = 0; i < 256; ++i) {
    const RGBQUAD& e = palette[i];
    if (e.rgbRed != e.rgbGreen || e.rgbRed != e.rgbBlue) return {};
    if (e.rgbBlue == i) continue;
    if (e.rgbBlue != 255 - i) return {};  // grey in some other order
    whiteIsZero = true;
  }
  return {1, whiteIsZero};
}

Layout LayoutOf(FIBITMAP* dib) {
  if (!dib || !FreeImage_HasPixels(dib) || FreeImage_GetImageType(dib) != FIT_BITMAP) return {};
  switch (FreeImage_GetBPP(dib)) {
    case 8:
      return GreyLayout(dib);
    case 24:
      return {3};
    case 32:
      return {4};
    default:
      return {};
  }
}

}  // namespace

FIBITMAP* Rescale(FIBITMAP* dib, int width, int height, FREE_IMAGE_FILTER filter, unsigned threads) {
  const Kernel* kernel = KernelOf(filter);
  const Layout layout = LayoutOf(dib);
  if (!kExactDoubles || !kernel || layout.channels == 0 || width <= 0 || height <= 0)
    return FreeImage_Rescale(dib, width, height, filter);
  const unsigned srcWidth = FreeImage_GetWidth(dib), srcHeight = FreeImage_GetHeight(dib);
  const unsigned dstWidth = unsigned(width), dstHeight = unsigned(height);
  // Nothing to resample: FreeImage's copy.
  if (srcWidth == dstWidth && srcHeight == dstHeight) return FreeImage_Rescale(dib, width, height, filter);

  // Made and finished with the calls FreeImage makes, so that masks, palette, resolution and
  // metadata are what FreeImage gives (no ICC profile, no background colour).
  FIBITMAP* dst = FreeImage_AllocateT(FIT_BITMAP, width, height, layout.channels * 8, 0, 0, 0);
  if (!dst) return nullptr;
  if (layout.whiteIsZero) {
    RGBQUAD* palette = FreeImage_GetPalette(dst);
    for (unsigned i = 0; i < 256; ++i) palette[i] = RGBQUAD{BYTE(255 - i), BYTE(255 - i), BYTE(255 - i), 0};
  }
  const Plane src{FreeImage_GetBits(dib), FreeImage_GetPitch(dib)};
  const Plane out{FreeImage_GetBits(dst), FreeImage_GetPitch(dst)};
  try {
    switch (layout.channels) {
      case 1:
        Resample<1>(*kernel, src, srcWidth, srcHeight, out, dstWidth, dstHeight, threads);
        break;
      case 3:
        Resample<3>(*kernel, src, srcWidth, srcHeight, out, dstWidth, dstHeight, threads);
        break;
      case 4:
        Resample<4>(*kernel, src, srcWidth, srcHeight, out, dstWidth, dstHeight, threads);
        break;
    }
  } catch (const std::bad_alloc&) {
    FreeImage_Unload(dst);
    return nullptr;
  }
  FreeImage_CloneMetadata(dst, dib);
  return dst;
}

}  // namespace rastello

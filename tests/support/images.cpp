#include "support/images.h"

#include <cmath>
#include <cstring>
#include <stdexcept>

namespace rastello::test {

namespace {

Bitmap Make(int width, int height, int bpp, const std::function<Rgba(int, int)>& pixel) {
  Bitmap dib(FreeImage_Allocate(width, height, bpp));
  if (!dib) throw std::runtime_error("allocation failed");
  int bytes = bpp / 8;
  for (int y = 0; y < height; ++y) {
    BYTE* line = FreeImage_GetScanLine(dib.get(), height - 1 - y);
    for (int x = 0; x < width; ++x) {
      Rgba c = pixel(x, y);
      line[x * bytes + FI_RGBA_RED] = c.r;
      line[x * bytes + FI_RGBA_GREEN] = c.g;
      line[x * bytes + FI_RGBA_BLUE] = c.b;
      if (bytes == 4) line[x * bytes + FI_RGBA_ALPHA] = c.a;
    }
  }
  return dib;
}

}  // namespace

Bitmap MakeRgba(int width, int height, const std::function<Rgba(int, int)>& pixel) {
  return Make(width, height, 32, pixel);
}

Bitmap MakeRgb(int width, int height, const std::function<Rgba(int, int)>& pixel) {
  return Make(width, height, 24, pixel);
}

Rgba Gradient(int x, int y, int width, int height) {
  double fx = double(x) / width, fy = double(y) / height;
  return Rgba{uint8_t(40 + 180 * fx), uint8_t(30 + 160 * fy), uint8_t(128 + 100 * std::sin(6.28 * (fx + fy))), 255};
}

void SavePng(FIBITMAP* dib, const std::string& path) {
  if (!FreeImage_Save(FIF_PNG, dib, path.c_str(), PNG_DEFAULT)) throw std::runtime_error("cannot save " + path);
}

Bitmap LoadAny(const std::string& path) {
  FREE_IMAGE_FORMAT fif = FreeImage_GetFileType(path.c_str(), 0);
  if (fif == FIF_UNKNOWN) return Bitmap();
  return Bitmap(FreeImage_Load(fif, path.c_str(), 0));
}

Rgba PixelAt(FIBITMAP* dib, int x, int y) {
  const unsigned bpp = FreeImage_GetBPP(dib);
  if (FreeImage_GetImageType(dib) == FIT_BITMAP && (bpp == 24 || bpp == 32)) {
    const BYTE* p = FreeImage_GetScanLine(dib, FreeImage_GetHeight(dib) - 1 - y) + bpp / 8 * x;
    return {p[FI_RGBA_RED], p[FI_RGBA_GREEN], p[FI_RGBA_BLUE], bpp == 32 ? p[FI_RGBA_ALPHA] : uint8_t(255)};
  }
  Bitmap copy(FreeImage_ConvertTo32Bits(dib));
  const BYTE* line = FreeImage_GetScanLine(copy.get(), FreeImage_GetHeight(copy.get()) - 1 - y);
  const BYTE* p = line + 4 * x;
  return Rgba{p[FI_RGBA_RED], p[FI_RGBA_GREEN], p[FI_RGBA_BLUE], p[FI_RGBA_ALPHA]};
}

bool SameBits(FIBITMAP* a, FIBITMAP* b) {
  if (FreeImage_GetWidth(a) != FreeImage_GetWidth(b) || FreeImage_GetHeight(a) != FreeImage_GetHeight(b) ||
      FreeImage_GetBPP(a) != FreeImage_GetBPP(b))
    return false;
  for (unsigned y = 0; y < FreeImage_GetHeight(a); ++y)
    if (std::memcmp(FreeImage_GetScanLine(a, y), FreeImage_GetScanLine(b, y), FreeImage_GetLine(a)) != 0) return false;
  return true;
}

double Psnr(FIBITMAP* a, FIBITMAP* b) {
  Bitmap ca(FreeImage_ConvertTo24Bits(a)), cb(FreeImage_ConvertTo24Bits(b));
  unsigned w = FreeImage_GetWidth(ca.get()), h = FreeImage_GetHeight(ca.get());
  if (w != FreeImage_GetWidth(cb.get()) || h != FreeImage_GetHeight(cb.get())) return 0.0;
  double sum = 0;
  for (unsigned y = 0; y < h; ++y) {
    const BYTE* la = FreeImage_GetScanLine(ca.get(), y);
    const BYTE* lb = FreeImage_GetScanLine(cb.get(), y);
    for (unsigned i = 0; i < 3 * w; ++i) {
      double d = double(la[i]) - double(lb[i]);
      sum += d * d;
    }
  }
  double mse = sum / (3.0 * w * h);
  return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace rastello::test

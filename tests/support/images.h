#pragma once
// Small generated pictures for tests, and ways to look at pixels.
#include <FreeImage.h>

#include <cstdint>
#include <functional>
#include <string>

#include "engine/bitmap.h"

namespace rastello::test {

struct Rgba {
  uint8_t r = 0, g = 0, b = 0, a = 255;
};

// A 32-bit bitmap whose pixel (x, y), y counted from the top, is `pixel(x, y)`.
Bitmap MakeRgba(int width, int height, const std::function<Rgba(int, int)>& pixel);
// The same without alpha.
Bitmap MakeRgb(int width, int height, const std::function<Rgba(int, int)>& pixel);
// A smooth, photo-like picture.
Rgba Gradient(int x, int y, int width, int height);

void SavePng(FIBITMAP* dib, const std::string& path);
Bitmap LoadAny(const std::string& path);
// Pixel (x, y) from the top-left, of any standard bitmap (other than 24 and 32 bits through
// a 32-bit copy); 24-bit pixels read as opaque.
Rgba PixelAt(FIBITMAP* dib, int x, int y);
// Same size, depth and bytes on every row.
bool SameBits(FIBITMAP* a, FIBITMAP* b);
// Peak signal-to-noise ratio of two same-sized pictures, over RGB.
double Psnr(FIBITMAP* a, FIBITMAP* b);

}  // namespace rastello::test

namespace rastello::test {
using rastello::Bitmap;
}  // namespace rastello::test

// Between the drawing buffers and FreeImage: pictures in, finished overlays out, and the
// merge of an overlay into the image.
#include <algorithm>

#include "engine/blend.h"
#include "platform/drawing.h"

namespace rastello {

namespace {

bool FitsCanvas(int64_t width, int64_t height, int64_t maxPixels) {
  return width > 0 && height > 0 && width <= kMaxCanvasSide && height <= kMaxCanvasSide && width * height <= maxPixels;
}

std::string SizeText(int64_t width, int64_t height) { return std::to_string(width) + " x " + std::to_string(height); }

}  // namespace

Picture LoadPicture(const std::string& path, int64_t maxPixels, std::string& why) {
  Picture picture;
  // The content decides; the name only for formats without a signature.
  FREE_IMAGE_FORMAT fif = FreeImage_GetFileType(path.c_str(), 0);
  if (fif == FIF_UNKNOWN) fif = FreeImage_GetFIFFromFilename(path.c_str());
  if (fif == FIF_UNKNOWN || !FreeImage_FIFSupportsReading(fif)) {
    why = "not a picture file";
    return picture;
  }
  // The size first where the format allows it, so that a huge picture is not decoded at all.
  if (FreeImage_FIFSupportsNoPixels(fif)) {
    Bitmap header(FreeImage_Load(fif, path.c_str(), FIF_LOAD_NOPIXELS));
    if (!header) {
      why = "cannot read the picture";
      return picture;
    }
    const int64_t w = FreeImage_GetWidth(header.get()), h = FreeImage_GetHeight(header.get());
    if (!FitsCanvas(w, h, maxPixels)) {
      why = "the picture is too large: " + SizeText(w, h) + " pixels";
      return picture;
    }
  }
  Bitmap dib(FreeImage_Load(fif, path.c_str(), 0));
  if (!dib || !FreeImage_HasPixels(dib.get())) {
    why = "cannot decode the picture";
    return picture;
  }
  const int64_t w = FreeImage_GetWidth(dib.get()), h = FreeImage_GetHeight(dib.get());
  if (!FitsCanvas(w, h, maxPixels)) {
    why = "the picture is too large: " + SizeText(w, h) + " pixels";
    return picture;
  }
  const FREE_IMAGE_TYPE type = FreeImage_GetImageType(dib.get());
  if (type != FIT_BITMAP && type != FIT_RGB16 && type != FIT_RGBA16)
    dib = Replace(std::move(dib), [](FIBITMAP* d) { return FreeImage_ConvertToStandardType(d, TRUE); });
  if (!dib) {
    why = "cannot convert the picture";
    return picture;
  }
  picture.depth = static_cast<int>(FreeImage_GetBPP(dib.get()));
  picture.pixels.reset(FreeImage_ConvertTo32Bits(dib.get()));
  if (!picture.pixels) why = "out of memory";
  return picture;
}

Bitmap ToBitmap(const Canvas& canvas) {
  if (!canvas) return Bitmap();
  const int width = canvas.width(), height = canvas.height();
  Bitmap dib(FreeImage_Allocate(width, height, 32, FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK));
  if (!dib) return dib;
  cairo_surface_t* surface = canvas.surface();
  cairo_surface_flush(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < height; ++y) {
    const auto* in = reinterpret_cast<const uint32_t*>(data + static_cast<ptrdiff_t>(y) * stride);
    BYTE* out = FreeImage_GetScanLine(dib.get(), height - 1 - y);  // FreeImage rows run bottom-up
    for (int x = 0; x < width; ++x, out += 4) {
      const uint32_t pixel = in[x];
      const uint32_t alpha = pixel >> 24;
      if (alpha == 0) {
        out[FI_RGBA_RED] = out[FI_RGBA_GREEN] = out[FI_RGBA_BLUE] = out[FI_RGBA_ALPHA] = 0;
        continue;
      }
      // Rounded as cairo's PNG writer does it, so that the result equals a PNG round trip.
      out[FI_RGBA_RED] = static_cast<BYTE>((((pixel >> 16) & 0xff) * 255 + alpha / 2) / alpha);
      out[FI_RGBA_GREEN] = static_cast<BYTE>((((pixel >> 8) & 0xff) * 255 + alpha / 2) / alpha);
      out[FI_RGBA_BLUE] = static_cast<BYTE>(((pixel & 0xff) * 255 + alpha / 2) / alpha);
      out[FI_RGBA_ALPHA] = static_cast<BYTE>(alpha);
    }
  }
  return dib;
}

bool OverlayFits(FIBITMAP* overlay, int64_t x, int64_t y, int64_t width, int64_t height) {
  return overlay && FreeImage_GetImageType(overlay) == FIT_BITMAP && FreeImage_GetBPP(overlay) == 32 && x >= 0 &&
         y >= 0 && x + FreeImage_GetWidth(overlay) <= width && y + FreeImage_GetHeight(overlay) <= height;
}

bool MergeOverlay(FIBITMAP* image, FIBITMAP* overlay, int64_t x, int64_t y) {
  if (!image || FreeImage_GetImageType(image) != FIT_BITMAP || FreeImage_GetBPP(image) != 24) return false;
  const int64_t imageWidth = FreeImage_GetWidth(image), imageHeight = FreeImage_GetHeight(image);
  if (!OverlayFits(overlay, x, y, imageWidth, imageHeight)) return false;
  const int64_t width = FreeImage_GetWidth(overlay), height = FreeImage_GetHeight(overlay);
  for (int64_t row = 0; row < height; ++row) {
    const BYTE* fg = FreeImage_GetScanLine(overlay, static_cast<int>(height - 1 - row));
    BYTE* bg = FreeImage_GetScanLine(image, static_cast<int>(imageHeight - 1 - (y + row))) + 3 * x;
    static_assert(FI_RGBA_ALPHA == 3, "alpha comes fourth");
    BlendOver(fg, bg, uint64_t(width));
  }
  return true;
}

}  // namespace rastello

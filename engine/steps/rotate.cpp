#include <cmath>
#include <numbers>

#include "engine/colour.h"
#include "engine/steps/steps.h"
#include "settings/settings.h"

namespace rastello {

namespace {

constexpr int kRotationSimple = 0;
constexpr int kRotationAdvanced = 1;

bool Turns(int32_t angle) { return angle >= 1 && angle <= 359; }

// FreeImage rotates 24- and 32-bit bitmaps only. Anything with transparency goes to 32 bits
// rather than 24, so that the flattening after the geometry still finds it; 16-bit channels
// come down first, since the 24-bit conversion refuses 16-bit grey.
Bitmap PrepareForRotation(Bitmap bitmap) {
  if (FreeImage_GetImageType(bitmap.get()) != FIT_BITMAP) bitmap = NormalizeDeepImage(std::move(bitmap));
  if (!bitmap) return bitmap;
  unsigned bpp = FreeImage_GetBPP(bitmap.get());
  if (bpp > 16 && bpp <= 32) return bitmap;
  if (FreeImage_IsTransparent(bitmap.get())) return Replace(std::move(bitmap), FreeImage_ConvertTo32Bits);
  return Replace(std::move(bitmap), FreeImage_ConvertTo24Bits);
}

// Whether the canvas of a simple rotation stays within the image limits. Quarter turns are
// exact; other angles are bounded from above.
bool RotatedCanvasFits(FIBITMAP* dib, int32_t angle) {
  const int64_t w = FreeImage_GetWidth(dib), h = FreeImage_GetHeight(dib);
  if (angle % 180 == 0) return WithinImageLimits(w, h);
  if (angle % 90 == 0) return WithinImageLimits(h, w);
  const double radians = angle * std::numbers::pi / 180.0;
  const double c = std::fabs(std::cos(radians)), s = std::fabs(std::sin(radians));
  const auto side = [](double length) { return static_cast<int64_t>(std::ceil(length)) + 1; };
  return WithinImageLimits(side(w * c + h * s), side(w * s + h * c));
}

}  // namespace

Bitmap RotateStep(Bitmap bitmap, const Settings& settings) {
  if (!bitmap || !settings.DoImageRotation) return bitmap;
  const int32_t angle = settings.ImageRotation;
  if (!Turns(angle)) return bitmap;
  bitmap = PrepareForRotation(std::move(bitmap));
  if (!bitmap) return bitmap;

  switch (settings.ImageRotationType) {
    case kRotationSimple: {
      if (!RotatedCanvasFits(bitmap.get(), angle)) return Bitmap();
      // Opaque: with a clear alpha the corners of a 32-bit image would be flattened to
      // white instead of showing the colour asked for.
      RGBQUAD back = ParseColor(settings.ImageRotationBackColor).ToRgbQuad();
      back.rgbReserved = 255;
      return Replace(std::move(bitmap), [&](FIBITMAP* dib) { return FreeImage_Rotate(dib, angle, &back); });
    }
    case kRotationAdvanced:
      return Replace(std::move(bitmap), [angle](FIBITMAP* dib) {
        // Odd sizes turn about a half-pixel centre.
        const double x = FreeImage_GetWidth(dib) / 2.0, y = FreeImage_GetHeight(dib) / 2.0;
        return FreeImage_RotateEx(dib, angle, 0.0, 0.0, x, y, FALSE);
      });
    default:
      return bitmap;
  }
}

Bitmap FlipStep(Bitmap bitmap, const Settings& settings) {
  if (!bitmap) return bitmap;
  if (settings.DoImageFlipHorizontal) FreeImage_FlipHorizontal(bitmap.get());
  if (settings.DoImageFlipVertical) FreeImage_FlipVertical(bitmap.get());
  return bitmap;
}

Bitmap RotateWatermark(Bitmap watermark, const Settings& settings) {
  int32_t angle = 0;
  if (settings.DoWatermark == 1) angle = settings.TextRotation;
  if (settings.DoWatermark == 2) angle = settings.WatermarkImageRotation;
  if (!watermark || !Turns(angle)) return watermark;
  return Replace(std::move(watermark), [angle](FIBITMAP* dib) { return FreeImage_Rotate(dib, angle, nullptr); });
}

}  // namespace rastello

#include "engine/steps/steps.h"

namespace rastello {

Bitmap NormalizeDeepImage(Bitmap bitmap) {
  if (!bitmap) return bitmap;
  switch (FreeImage_GetImageType(bitmap.get())) {
    case FIT_BITMAP:
      return bitmap;
    case FIT_RGB16:
      return Replace(std::move(bitmap), FreeImage_ConvertTo24Bits);
    case FIT_RGBA16:
      return Replace(std::move(bitmap), FreeImage_ConvertTo32Bits);
    case FIT_UINT16:
      return Replace(std::move(bitmap), FreeImage_ConvertTo8Bits);
    default:
      return Replace(std::move(bitmap), [](FIBITMAP* dib) { return FreeImage_ConvertToStandardType(dib, TRUE); });
  }
}

Bitmap FlattenTransparency(Bitmap bitmap) {
  if (!bitmap || !FreeImage_IsTransparent(bitmap.get())) return bitmap;
  unsigned bpp = FreeImage_GetBPP(bitmap.get());
  if (bpp < 8 || bpp > 32) bitmap = Replace(std::move(bitmap), FreeImage_ConvertTo32Bits);
  RGBQUAD white{255, 255, 255, 0};
  return Replace(std::move(bitmap), [&white](FIBITMAP* dib) { return FreeImage_Composite(dib, FALSE, &white, nullptr); });
}

}  // namespace rastello

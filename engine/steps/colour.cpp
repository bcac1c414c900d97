#include "engine/steps/steps.h"
#include "settings/settings.h"

namespace rastello {

namespace {

unsigned Bpp(const Bitmap& bitmap) { return FreeImage_GetBPP(bitmap.get()); }

// Threshold and dither take 4 to 32 bits; a 1-bit input (the result of an earlier threshold)
// goes through 24 bits.
Bitmap PrepareForBlackAndWhite(Bitmap bitmap) {
  if (Bpp(bitmap) > 32 || Bpp(bitmap) < 4) return Replace(std::move(bitmap), FreeImage_ConvertTo24Bits);
  return bitmap;
}

}  // namespace

Bitmap ColorCorrectionStep(Bitmap bitmap, const Settings& settings) {
  if (!bitmap || !settings.DoImageColorCorrection) return bitmap;
  if (Bpp(bitmap) < 8 || Bpp(bitmap) > 32) bitmap = Replace(std::move(bitmap), FreeImage_ConvertTo24Bits);
  // In place; a bitmap FreeImage cannot adjust stays as it is.
  if (bitmap)
    FreeImage_AdjustColors(bitmap.get(), settings.ImageBrightness, settings.ImageContrast, settings.ImageGamma,
                           settings.ImageInvert ? TRUE : FALSE);
  return bitmap;
}

Bitmap GreyscaleStep(Bitmap bitmap, const Settings& settings) {
  if (!bitmap || !settings.DoImageGreyscale) return bitmap;
  if (Bpp(bitmap) > 32) bitmap = Replace(std::move(bitmap), FreeImage_ConvertTo24Bits);
  return Replace(std::move(bitmap), FreeImage_ConvertToGreyscale);
}

Bitmap ThresholdStep(Bitmap bitmap, const Settings& settings) {
  if (!bitmap || !settings.DoImageThreshold) return bitmap;
  bitmap = PrepareForBlackAndWhite(std::move(bitmap));
  // The level is passed on as its low eight bits.
  const BYTE level = static_cast<BYTE>(settings.ImageThreshold);
  return Replace(std::move(bitmap), [level](FIBITMAP* dib) { return FreeImage_Threshold(dib, level); });
}

Bitmap DitherStep(Bitmap bitmap, const Settings& settings) {
  if (!bitmap || !settings.DoImageDither) return bitmap;
  bitmap = PrepareForBlackAndWhite(std::move(bitmap));
  const FREE_IMAGE_DITHER algorithm = DitherAlgorithm(settings.ImageDitherAlgorithm);
  return Replace(std::move(bitmap), [algorithm](FIBITMAP* dib) { return FreeImage_Dither(dib, algorithm); });
}

FREE_IMAGE_DITHER DitherAlgorithm(int algorithm) {
  switch (algorithm) {
    case 0:
      return FID_FS;
    case 1:
      return FID_BAYER4x4;
    case 2:
      return FID_BAYER8x8;
    case 3:
      return FID_BAYER16x16;
    case 4:
      return FID_CLUSTER6x6;
    case 5:
      return FID_CLUSTER8x8;
    case 6:
      return FID_CLUSTER16x16;
    default:
      return FID_FS;
  }
}

}  // namespace rastello

// The size a resize asks for, worked out without touching pixels.
#include <cmath>
#include <limits>

#include "engine/steps/steps.h"
#include "settings/settings.h"

namespace rastello {

namespace {

constexpr int kLargeImagesOnly = 1;

// Doubles beyond the int32 range saturate instead of overflowing; the size is then refused
// as too large.
int32_t ToInt32(double value) {
  constexpr double lo = std::numeric_limits<int32_t>::min(), hi = std::numeric_limits<int32_t>::max();
  if (!(value >= lo)) return std::numeric_limits<int32_t>::min();
  if (value > hi) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);
}

// The other side of a kept aspect ratio: the ratio is a single-precision float, and so is
// the quotient, which is rounded half up.
int32_t ScaledSide(int32_t requested, int32_t longer, int32_t shorter) {
  const float ratio = static_cast<float>(static_cast<double>(longer) / shorter);
  const float side = static_cast<float>(requested / static_cast<double>(ratio));
  return ToInt32(std::floor(static_cast<double>(side) + 0.5));
}

}  // namespace

int32_t ResolveDimension(int32_t value, int unit, int32_t current) {
  switch (unit) {
    case kUnitPixels:
      return value;
    case kUnitPercent:
      // nearbyint rounds halves to even in the default rounding mode.
      return ToInt32(std::nearbyint(value / 100.0 * current));
    default:
      return 0;
  }
}

FREE_IMAGE_FILTER ResizeFilter(int algorithm) {
  switch (algorithm) {
    case 0:
      return FILTER_BOX;
    case 1:
      return FILTER_BILINEAR;
    case 2:
      return FILTER_BSPLINE;
    case 3:
      return FILTER_BICUBIC;
    case 4:
      return FILTER_CATMULLROM;
    case 5:
      return FILTER_LANCZOS3;
    default:
      return FILTER_BICUBIC;
  }
}

std::optional<ImageSize> ResizeTarget(const Settings& settings, int32_t width, int32_t height) {
  if (!settings.DoImageResize) return std::nullopt;
  const int32_t w = ResolveDimension(settings.ImageWidth, settings.ImageWidthUnit, width);
  const int32_t h = ResolveDimension(settings.ImageHeight, settings.ImageHeightUnit, height);
  if (w <= 0 || h <= 0) return std::nullopt;
  if (w == width && h == height) return std::nullopt;
  // Only images smaller than the request in both directions are left alone.
  if (settings.ImageResizeType == kLargeImagesOnly && width < w && height < h) return std::nullopt;

  ImageSize target{w, h};
  if (settings.KeepAspectRatio) {
    // The requested width rules landscape and square images, the height portrait ones.
    if (width >= height)
      target.height = ScaledSide(w, width, height);
    else
      target.width = ScaledSide(h, height, width);
  }
  // With the ratio kept the size may come out as it was; nothing to do then either.
  if (target == ImageSize{width, height}) return std::nullopt;
  return target;
}

}  // namespace rastello

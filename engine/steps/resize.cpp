// Resizing a bitmap to the size the settings ask for.

#include "engine/steps/rescale.h"
#include "engine/steps/steps.h"
#include "settings/settings.h"

namespace rastello {

Bitmap ResizeStep(Bitmap bitmap, int32_t width, int32_t height, const Settings& settings) {
  if (!bitmap) return bitmap;
  std::optional<ImageSize> target = ResizeTarget(settings, width, height);
  if (!target) return bitmap;
  if (!WithinImageLimits(target->width, target->height)) return Bitmap();
  const FREE_IMAGE_FILTER filter = ResizeFilter(settings.ImageResizeAlgorithm);
  return Replace(std::move(bitmap), [&](FIBITMAP* dib) { return Rescale(dib, target->width, target->height, filter); });
}

}  // namespace rastello

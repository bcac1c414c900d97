#include "engine/steps/steps.h"
#include "platform/drawing.h"
#include "settings/settings.h"

namespace rastello {

Colour GreyFilter(Colour colour) {
  const auto grey = static_cast<uint8_t>((77 * colour.red + 150 * colour.green + 29 * colour.blue) >> 8);
  return Colour{grey, grey, grey, colour.alpha};
}

Bitmap ImageWatermark(const Settings& settings, std::string& why) {
  Picture picture = LoadPicture(settings.Image, kMaxPixels, why);
  if (!picture.pixels) return Bitmap();
  Canvas overlay = Canvas::Create(static_cast<int>(FreeImage_GetWidth(picture.pixels.get())),
                                  static_cast<int>(FreeImage_GetHeight(picture.pixels.get())));
  if (!overlay) {
    why = "out of memory";
    return Bitmap();
  }
  // Every pixel is written, alpha included: a picture without alpha takes the opacity as its
  // alpha, one with alpha keeps its own, scaled by the opacity.
  DrawPicture(overlay, picture, settings.ImageOpacity, settings.ImageGreyscale ? GreyFilter : nullptr);
  return ToBitmap(overlay);
}

}  // namespace rastello

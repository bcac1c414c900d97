// The drawing module's one exported function.
#include "app/overlay_api.h"
#include "engine/steps/steps.h"
#include "platform/font.h"

namespace rastello {
namespace {

Font* LoadFontEntry(const FontRequest& request) { return LoadFont(request).release(); }
void DestroyFontEntry(Font* font) { FontDeleter()(font); }

const OverlayApi kApi = {kOverlayApiVersion, LoadFontEntry, DestroyFontEntry, FrameStep, WatermarkStep};

}  // namespace
}  // namespace rastello

extern "C" __attribute__((visibility("default"))) const rastello::OverlayApi* rastello_overlay_api() {
  return &rastello::kApi;
}

// The bitmap module's one exported function.
#include "app/bitmap_module_api.h"
#include "engine/pipeline.h"
#include "platform/font.h"

namespace rastello {
namespace {

Font* LoadFontEntry(const FontRequest& request) { return LoadFont(request).release(); }
void DestroyFontEntry(Font* font) { FontDeleter()(font); }

const BitmapModuleApi kApi = {kBitmapModuleVersion, LoadFontEntry, DestroyFontEntry, ConvertBitmap, PrepareOverlays};

}  // namespace
}  // namespace rastello

extern "C" __attribute__((visibility("default"))) const rastello::BitmapModuleApi* rastello_bitmap_module() {
  return &rastello::kApi;
}

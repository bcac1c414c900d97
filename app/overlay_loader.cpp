// The program's side of the drawing module: the four calls that need cairo and pango load
// the module on first use, so that runs without a frame or watermark never map those
// libraries (they would cost every start-up several milliseconds).
#include <dlfcn.h>

#include <cstdio>
#include <mutex>

#include "app/overlay_api.h"
#include "engine/session.h"
#include "engine/steps/steps.h"
#include "platform/files.h"
#include "platform/font.h"
#include "settings/settings.h"

#ifndef RASTELLO_MODULE_DIR
#define RASTELLO_MODULE_DIR "/usr/local/lib/rastello"
#endif

namespace rastello {

namespace {

// Beside the program in a build tree, else where it is installed. Null, after one line on
// standard error, when neither loads.
const OverlayApi* Module() {
  static const OverlayApi* api = nullptr;
  static std::once_flag once;
  std::call_once(once, [] {
    std::string error;
    for (const std::string& folder : {ProgramFolder(), std::string(RASTELLO_MODULE_DIR) + "/"}) {
      void* handle = ::dlopen((folder + kOverlayModuleName).c_str(), RTLD_NOW | RTLD_LOCAL);
      if (!handle) {
        if (error.empty()) error = ::dlerror();
        continue;
      }
      auto entry = reinterpret_cast<const OverlayApi* (*)()>(::dlsym(handle, kOverlayEntryName));
      const OverlayApi* found = entry ? entry() : nullptr;
      if (found && found->version == kOverlayApiVersion) {
        api = found;
        return;
      }
      error = "the drawing module does not match this program";
      ::dlclose(handle);
    }
    std::fprintf(stderr, "cannot load the drawing module: %s\n", error.c_str());
  });
  return api;
}

}  // namespace

FontHandle LoadFont(const FontRequest& request) {
  const OverlayApi* api = Module();
  return FontHandle(api ? api->loadFont(request) : nullptr);
}

void FontDeleter::operator()(Font* font) const {
  if (font && Module()) Module()->destroyFont(font);
}

Bitmap FrameStep(Bitmap bitmap, int32_t width, int32_t height, const Settings& settings) {
  if (!bitmap || settings.DoFrame == 0) return bitmap;
  const OverlayApi* api = Module();
  return api ? api->frameStep(std::move(bitmap), width, height, settings) : Bitmap();
}

Bitmap WatermarkStep(Bitmap bitmap, int32_t width, int32_t height, const Session& session, std::string* skipped) {
  if (!bitmap || session.settings.DoWatermark == 0) return bitmap;
  const OverlayApi* api = Module();
  return api ? api->watermarkStep(std::move(bitmap), width, height, session, skipped) : Bitmap();
}

}  // namespace rastello

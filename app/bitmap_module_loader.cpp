// The program's side of the bitmap module: the calls that need FreeImage, cairo or pango
// load the module on first use, so that starting the program and streaming a plain
// conversion never map those libraries.
#include <dlfcn.h>

#include <cstdio>
#include <mutex>

#include "app/bitmap_module_api.h"
#include "engine/pipeline.h"
#include "engine/session.h"
#include "platform/files.h"
#include "platform/font.h"

#ifndef RASTELLO_MODULE_DIR
#define RASTELLO_MODULE_DIR "/usr/local/lib/rastello"
#endif

namespace rastello {

namespace {

std::string moduleError;

// Beside the program in a build tree, else where it is installed.
const BitmapModuleApi* Module() {
  static const BitmapModuleApi* api = nullptr;
  static std::once_flag once;
  std::call_once(once, [] {
    for (const std::string& folder : {ProgramFolder(), std::string(RASTELLO_MODULE_DIR) + "/"}) {
      void* handle = ::dlopen((folder + kBitmapModuleName).c_str(), RTLD_NOW | RTLD_LOCAL);
      if (!handle) {
        if (moduleError.empty()) moduleError = ::dlerror();
        continue;
      }
      auto entry = reinterpret_cast<const BitmapModuleApi* (*)()>(::dlsym(handle, kBitmapModuleEntry));
      const BitmapModuleApi* found = entry ? entry() : nullptr;
      if (found && found->version == kBitmapModuleVersion) {
        api = found;
        return;
      }
      moduleError = "the bitmap module does not match this program";
      ::dlclose(handle);
    }
  });
  return api;
}

}  // namespace

FontHandle LoadFont(const FontRequest& request) {
  const BitmapModuleApi* api = Module();
  if (!api) std::fprintf(stderr, "cannot load the bitmap module: %s\n", moduleError.c_str());
  return FontHandle(api ? api->loadFont(request) : nullptr);
}

void FontDeleter::operator()(Font* font) const {
  if (font && Module()) Module()->destroyFont(font);
}

bool ConvertBitmap(Session& session) {
  const BitmapModuleApi* api = Module();
  if (!api) {
    session.state.FailureReason = "cannot load the bitmap module: " + moduleError;
    return false;
  }
  return api->convertBitmap(session);
}

bool PrepareOverlays(const Session& session, int32_t width, int32_t height, std::vector<RowOverlay>& overlays) {
  const BitmapModuleApi* api = Module();
  return api && api->prepareOverlays(session, width, height, overlays);
}

}  // namespace rastello

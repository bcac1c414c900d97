#pragma once
// The entry of the drawing module: frames, watermarks and their fonts need cairo, pango and
// fontconfig, which the program loads only for a run that draws.
#include <cstdint>
#include <string>

#include "engine/bitmap.h"

namespace rastello {

class Font;
struct FontRequest;
struct Session;
struct Settings;

struct OverlayApi {
  int version;
  Font* (*loadFont)(const FontRequest& request);
  void (*destroyFont)(Font* font);
  Bitmap (*frameStep)(Bitmap bitmap, int32_t width, int32_t height, const Settings& settings);
  Bitmap (*watermarkStep)(Bitmap bitmap, int32_t width, int32_t height, const Session& session,
                          std::string* skipped);
};

inline constexpr int kOverlayApiVersion = 1;
inline constexpr const char* kOverlayModuleName = "librastello_overlay.so";
inline constexpr const char* kOverlayEntryName = "rastello_overlay_api";

}  // namespace rastello

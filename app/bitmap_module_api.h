#pragma once
// The entry of the bitmap module: the FreeImage pipeline with its steps, frames, watermarks
// and their fonts. FreeImage, cairo, pango and fontconfig cost every start several
// milliseconds, so the program loads them only for a run that needs them; plain
// conversions stream without them.
#include <cstdint>
#include <vector>

namespace rastello {

class Font;
struct FontRequest;
struct Session;
struct RowOverlay;

struct BitmapModuleApi {
  int version;
  Font* (*loadFont)(const FontRequest& request);
  void (*destroyFont)(Font* font);
  bool (*convertBitmap)(Session& session);
  bool (*prepareOverlays)(const Session& session, int32_t width, int32_t height, std::vector<RowOverlay>& overlays);
};

inline constexpr int kBitmapModuleVersion = 3;
inline constexpr const char* kBitmapModuleName = "librastello_bitmap.so";
inline constexpr const char* kBitmapModuleEntry = "rastello_bitmap_module";

}  // namespace rastello

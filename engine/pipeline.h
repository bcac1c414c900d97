#pragma once

#include <cstdint>
#include <vector>

namespace rastello {

struct Session;

// Converts the file named by InputPath and saves it under the name the mask gives.
// True when the output was written; otherwise RunState::FailureReason says why. Plain
// conversions stream; everything else goes through ConvertBitmap.
bool ConvertFile(Session& session);
// The whole pipeline on a FreeImage bitmap: load, every step, depth, save.
bool ConvertBitmap(Session& session);

// A piece of frame or watermark ready to lay over the rows of an image: RGBA rows from the
// top, placed with its top-left corner at (x, y), inside the image.
struct RowOverlay {
  uint32_t x = 0, y = 0, width = 0, height = 0;
  std::vector<uint8_t> rgba;
};
// What the frame and watermark steps would merge into a 24-bit image of this size, in their
// order, for rows that never become a bitmap. False when those steps would have more to say
// than pixels (a piece that cannot be drawn, a picture that cannot be read): such a file
// takes the bitmap path.
bool PrepareOverlays(const Session& session, int32_t width, int32_t height, std::vector<RowOverlay>& overlays);

// Largest image converted: the JPEG writer's side limit and a bound on memory.
inline constexpr long long kMaxSide = 65500;
inline constexpr long long kMaxPixels = 500LL * 1000 * 1000;

}  // namespace rastello

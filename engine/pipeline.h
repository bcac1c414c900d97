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

// A watermark ready to lay over the rows of an image: RGBA rows from the top, placed with
// its top-left corner at (x, y), inside the image.
struct WatermarkOverlay {
  uint32_t x = 0, y = 0, width = 0, height = 0;
  std::vector<uint8_t> rgba;
};
// The overlay the watermark step would merge into a 24-bit image of this size, for rows
// that never become a bitmap; empty when the step would leave the image as it is. False
// when the step would have more to say than pixels (a picture that cannot be read): such
// a file takes the bitmap path.
bool PrepareWatermark(const Session& session, int32_t width, int32_t height, WatermarkOverlay& overlay);

// Largest image converted: the JPEG writer's side limit and a bound on memory.
inline constexpr long long kMaxSide = 65500;
inline constexpr long long kMaxPixels = 500LL * 1000 * 1000;

}  // namespace rastello

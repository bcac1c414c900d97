#pragma once
// Laying a straight-alpha overlay on an opaque image, with FreeImage_Composite's arithmetic:
// a shift by 8 bits, the two ends exact. Both sides keep their channels in the same order
// (RGB or BGR); the overlay has alpha fourth.
#include <cstdint>

namespace rastello {

inline void BlendOver(const uint8_t* overlay, uint8_t* image, uint64_t pixels) {
  for (uint64_t i = 0; i < pixels; ++i, overlay += 4, image += 3) {
    const unsigned alpha = overlay[3];
    if (alpha == 0) continue;
    if (alpha == 255) {
      image[0] = overlay[0];
      image[1] = overlay[1];
      image[2] = overlay[2];
      continue;
    }
    const unsigned rest = 255 - alpha;
    image[0] = static_cast<uint8_t>((alpha * overlay[0] + rest * image[0]) >> 8);
    image[1] = static_cast<uint8_t>((alpha * overlay[1] + rest * image[1]) >> 8);
    image[2] = static_cast<uint8_t>((alpha * overlay[2] + rest * image[2]) >> 8);
  }
}

}  // namespace rastello

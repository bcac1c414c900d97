#pragma once
// Colours written as six hexadecimal digits, RRGGBB.
#include <FreeImage.h>

#include <cstdint>
#include <string_view>

namespace rastello {

struct Colour {
  uint8_t red = 0, green = 0, blue = 0, alpha = 255;

  RGBQUAD ToRgbQuad() const { return RGBQUAD{blue, green, red, 0}; }
  bool operator==(const Colour&) const = default;
};

// Black unless the text is exactly six characters; each pair is read as hex up to its first
// non-hex character, so "G0" reads 0 and "1G" reads 1.
Colour ParseColor(std::string_view text);
// The same with the given alpha (0..255).
Colour ParseColorAlpha(std::string_view text, int alpha);

}  // namespace rastello

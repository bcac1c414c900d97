#include "engine/colour.h"

#include <string>

namespace rastello {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

uint8_t HexPair(std::string_view pair) {
  int value = 0;
  for (char c : pair) {
    int d = HexDigit(c);
    if (d < 0) break;
    value = value * 16 + d;
  }
  return static_cast<uint8_t>(value);
}

}  // namespace

Colour ParseColor(std::string_view utf8) {
  // Lengths count characters, not bytes: a non-ASCII character stands as one non-hex digit.
  std::string text;
  for (char c : utf8)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) text += (static_cast<unsigned char>(c) < 0x80 ? c : 'x');
  if (text.size() != 6) return Colour{0, 0, 0, 255};
  return Colour{HexPair(text.substr(0, 2)), HexPair(text.substr(2, 2)), HexPair(text.substr(4, 2)), 255};
}

Colour ParseColorAlpha(std::string_view text, int alpha) {
  Colour c = ParseColor(text);
  c.alpha = static_cast<uint8_t>(alpha);
  return c;
}

}  // namespace rastello

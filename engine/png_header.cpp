#include "engine/png_header.h"

#include <cstring>

namespace rastello {

bool ReadPngHeader(std::FILE* file, PngHeader& header, std::string& reason) {
  unsigned char buf[24];  // signature, chunk length, "IHDR", width, height
  size_t got = std::fread(buf, 1, sizeof buf, file);
  if (got < 8 || std::memcmp(buf, kPngSignature, 8) != 0) {
    reason = got == 0 ? "the file is empty" : "not a PNG file";
    return false;
  }
  if (got < sizeof buf) {
    reason = "truncated PNG file";
    return false;
  }
  if (std::memcmp(buf + 12, "IHDR", 4) != 0) {
    reason = "damaged PNG file: the image header is missing";
    return false;
  }
  header.width = PngNumber(buf + 16);
  header.height = PngNumber(buf + 20);
  return true;
}

bool PngCanHoldImage(uint32_t width, uint32_t height, int bitDepth, int colourType, uint64_t fileSize) {
  constexpr uint64_t kMaxDeflateRatio = 1032;
  // Samples per pixel by colour type; an unknown type counts as one, and the decoder refuses it.
  const uint64_t samples = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
  const uint64_t pixels = uint64_t(width) * height;                    // below 2^64
  const uint64_t bitsPerPixel = samples * uint64_t(bitDepth & 0xFF);  // below 2^11
  if (pixels > UINT64_MAX / 2048) return false;
  // The pixel bits alone, without the filter byte of each row: less than any layout needs.
  return pixels * bitsPerPixel / 8 <= fileSize * kMaxDeflateRatio;
}

}  // namespace rastello

#pragma once
// The PNG signature and image header, read before any pixel is decoded.
#include <cstdint>
#include <cstdio>
#include <string>

namespace rastello {

inline constexpr unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// PNG numbers are stored most significant byte first.
inline uint32_t PngNumber(const unsigned char* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

struct PngHeader {
  uint32_t width = 0;
  uint32_t height = 0;
};

// Reads the signature and IHDR chunk from the start of `file`. False, with `reason` set,
// when the file is no PNG or its header is cut short.
bool ReadPngHeader(std::FILE* file, PngHeader& header, std::string& reason);

// Whether a PNG file of `fileSize` bytes can hold the pixels its header claims. Deflate packs
// at most 1032 bytes into one, so a smaller file is cut short or damaged whatever it holds;
// knowing that before decoding spares allocating the whole bitmap for nothing.
bool PngCanHoldImage(uint32_t width, uint32_t height, int bitDepth, int colourType, uint64_t fileSize);

}  // namespace rastello

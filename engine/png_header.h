#pragma once
// The PNG signature and image header, read before any pixel is decoded.
#include <cstdint>
#include <cstdio>
#include <string>

namespace rastello {

struct PngHeader {
  uint32_t width = 0;
  uint32_t height = 0;
};

// Reads the signature and IHDR chunk from the start of `file`. False, with `reason` set,
// when the file is no PNG or its header is cut short.
bool ReadPngHeader(std::FILE* file, PngHeader& header, std::string& reason);

}  // namespace rastello

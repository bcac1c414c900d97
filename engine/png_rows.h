#pragma once
// The rows of a plain 8-bit RGB or RGBA PNG, inflated and unfiltered here rather than by
// libpng, whose filters run a byte at a time. Only a file in perfect order is read: every
// chunk's CRC right, the image data in one run of IDAT chunks holding exactly the rows, no
// unknown critical chunk. Anything else makes the reader give up, and the caller reads the
// file another way; so a file this reader finishes is one libpng reads to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>

namespace rastello {

struct PngLayout;

// Whether the layout is one this reader takes: 8-bit RGB or RGBA, not interlaced, and no
// gamma that would change the samples.
bool DirectRowsLayout(const PngLayout& layout);

// Reads `file` from its start and hands each row (width * 3 or 4 bytes, the samples as
// stored) to `row`, top to bottom; `row` returns false to stop. False when the file is not
// in perfect order or `row` stopped.
bool ReadRowsDirect(std::FILE* file, const PngLayout& layout,
                    const std::function<bool(const unsigned char* row)>& row);

}  // namespace rastello

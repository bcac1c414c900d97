#pragma once
// The fast way for the commonest run: a PNG to JPEG with no edits. The
// PNG is decoded row by row on one thread while the JPEG is encoded on another, so the two
// codecs overlap and no full-size bitmap is ever made. The bytes written are the same as the
// bitmap path writes; anything this path does not handle goes the bitmap path.
#include <cstdint>
#include <cstdio>
#include <string>

namespace rastello {

struct Session;

enum class StreamOutcome {
  Converted,    // the output is written
  Failed,       // the output could not be written; FailureReason says why
  NotStreamed,  // take the bitmap path (not eligible, or the file needs its judgement)
};

// Whether the settings and the run allow streaming at all: JPEG output at automatic or
// 24-bit depth, and no step that edits pixels.
bool StreamableSettings(const Session& session);

// Converts InputPath when the file qualifies. On Converted or Failed the run state is
// filled as ConvertFile fills it.
StreamOutcome StreamConvert(Session& session);

// What the chunks of a PNG file say about streaming it.
struct PngLayout {
  uint32_t width = 0, height = 0;
  int bitDepth = 0, colourType = 0, interlace = 0;
  bool chunksSound = false;   // every chunk lies inside the file, up to IEND
  bool transparentColour = false;  // tRNS
  bool colourProfile = false;      // iCCP
  bool carriedText = false;        // text the JPEG writer copies: a comment or XMP
  bool greyPalette = false;        // a PLTE of greys only
  uint32_t gamma = 0;              // the first gAMA, in units of 1/100000; 0 without one
};
// Walks the chunk headers (and the few chunk bodies that matter) of a PNG of `size` bytes.
// False when it is no PNG.
bool ReadPngLayout(std::FILE* file, uint64_t size, PngLayout& layout);
bool StreamableLayout(const PngLayout& layout);
// The density as libpng gives it to the bitmap path, which ignores a pHYs chunk that is
// damaged, repeated or after the pixels: pixels per metre, else FreeImage's 72 dots per inch.
// Reads the chunks before the pixels from the start of `file`; false when they are unsound.
bool ReadDensity(std::FILE* file, uint32_t& pixelsPerMetreX, uint32_t& pixelsPerMetreY);

}  // namespace rastello

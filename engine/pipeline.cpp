#include "engine/pipeline.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "engine/bitmap.h"
#include "engine/formats.h"
#include "engine/freeimage_messages.h"
#include "engine/naming.h"
#include "engine/png_header.h"
#include "engine/png_rows.h"
#include "engine/session.h"
#include "engine/steps/steps.h"
#include "engine/stream.h"
#include "platform/files.h"

namespace rastello {

namespace {

unsigned DLL_CALLCONV ReadProc(void* buffer, unsigned size, unsigned count, fi_handle handle) {
  return static_cast<unsigned>(std::fread(buffer, size, count, static_cast<std::FILE*>(handle)));
}
unsigned DLL_CALLCONV WriteProc(void*, unsigned, unsigned, fi_handle) { return 0; }
int DLL_CALLCONV SeekProc(fi_handle handle, long offset, int origin) {
  return std::fseek(static_cast<std::FILE*>(handle), offset, origin);
}
long DLL_CALLCONV TellProc(fi_handle handle) { return std::ftell(static_cast<std::FILE*>(handle)); }

std::string SizeText(long long w, long long h) { return std::to_string(w) + " x " + std::to_string(h); }

// A plain RGB or RGBA file read by our own row reader into the bitmap FreeImage's loader
// would make: the same depth, masks, pixels and density. Null when the reader gives up.
Bitmap LoadDirect(std::FILE* file, const PngLayout& layout) {
  const unsigned bytes = layout.colourType == 6 ? 4 : 3;  // RGBA, else RGB
  Bitmap dib(FreeImage_AllocateT(FIT_BITMAP, static_cast<int>(layout.width), static_cast<int>(layout.height),
                                 static_cast<int>(8 * bytes), FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK));
  if (!dib) return Bitmap();
  uint32_t y = 0;
  const bool read = ReadRowsDirect(file, layout, [&](const unsigned char* pixels) {
    BYTE* line = FreeImage_GetScanLine(dib.get(), static_cast<int>(layout.height - 1 - y++));
    for (uint32_t x = 0; x < layout.width; ++x, line += bytes, pixels += bytes) {
      line[FI_RGBA_RED] = pixels[0];
      line[FI_RGBA_GREEN] = pixels[1];
      line[FI_RGBA_BLUE] = pixels[2];
      if (bytes == 4) line[FI_RGBA_ALPHA] = pixels[3];
    }
    return true;
  });
  uint32_t densityX = 0, densityY = 0;
  if (!read || std::fseek(file, 0, SEEK_SET) != 0 || !ReadDensity(file, densityX, densityY)) return Bitmap();
  FreeImage_SetDotsPerMeterX(dib.get(), densityX);
  FreeImage_SetDotsPerMeterY(dib.get(), densityY);
  return dib;
}

// Reads the header and walks the chunks first, so that a file that is no PNG, claims a size
// we will not decode, or is too short for what it claims is refused before FreeImage
// allocates anything; then decodes from the same open file. For a JPEG, a plain RGB or RGBA
// file carrying nothing the JPEG writer would copy is read without FreeImage's loader,
// whose filters run a byte at a time; it still reads anything out of the ordinary.
Bitmap LoadPng(const std::string& path, std::string& reason, bool direct) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    reason = std::string("cannot open the file: ") + std::strerror(errno);
    return Bitmap();
  }
  struct stat st;
  uint64_t size = ::fstat(::fileno(file), &st) == 0 ? uint64_t(st.st_size) : 0;
  PngHeader header;
  PngLayout layout;
  Bitmap bitmap;
  if (!ReadPngHeader(file, header, reason)) {
    // reason set
  } else if (header.width > kMaxSide || header.height > kMaxSide ||
             static_cast<long long>(header.width) * header.height > kMaxPixels) {
    reason = "image too large: " + SizeText(header.width, header.height) +
             " pixels (the limit is 500 megapixels and 65500 pixels a side)";
  } else if (!ReadPngLayout(file, size, layout) || !layout.chunksSound) {
    reason = "cannot decode the PNG data: the file is cut short";
  } else if (!PngCanHoldImage(layout.width, layout.height, layout.bitDepth, layout.colourType, size)) {
    reason = "cannot decode the PNG data: the file is too short for " + SizeText(header.width, header.height) +
             " pixels";
  } else if (direct && DirectRowsLayout(layout) && !layout.transparentColour && !layout.colourProfile &&
             !layout.carriedText && (bitmap = LoadDirect(file, layout))) {
    // read
  } else if (std::fseek(file, 0, SEEK_SET) == 0) {
    FreeImageIO io{ReadProc, WriteProc, SeekProc, TellProc};
    ClearFreeImageMessage();
    bitmap.reset(FreeImage_LoadFromHandle(FIF_PNG, &io, static_cast<fi_handle>(file), PNG_DEFAULT));
    if (!bitmap || FreeImage_GetWidth(bitmap.get()) == 0 || FreeImage_GetHeight(bitmap.get()) == 0) {
      std::string why = FreeImageMessage();
      reason = "cannot decode the PNG data" + (why.empty() ? std::string() : ": " + why);
      bitmap.reset();
    }
  }
  std::fclose(file);
  return bitmap;
}

bool SaveBitmap(const Session& session, FIBITMAP* dib, std::string& reason) {
  const RunState& st = session.state;
  if (!dib) {
    reason = "an image operation failed (out of memory?)";
    return false;
  }
  // Encode in memory first: the target is only touched once the whole file exists.
  FIMEMORY* memory = FreeImage_OpenMemory();
  if (!memory) {
    reason = "out of memory";
    return false;
  }
  ClearFreeImageMessage();
  bool ok = FreeImage_SaveToMemory(static_cast<FREE_IMAGE_FORMAT>(st.FormatId), dib, memory, st.SaveFlags);
  BYTE* data = nullptr;
  DWORD size = 0;
  if (ok) ok = FreeImage_AcquireMemory(memory, &data, &size) && size > 0;
  if (!ok) {
    std::string why = FreeImageMessage();
    reason = "cannot encode the output image" + (why.empty() ? std::string() : ": " + why);
  } else if (!WriteFileAtomically(st.OutputPath, data, size, reason)) {
    ok = false;
  }
  FreeImage_CloseMemory(memory);
  return ok;
}

}  // namespace

bool ConvertBitmap(Session& session) {
  RunState& st = session.state;
  st.FailureReason.clear();
  st.SourceBpp = 0;
  InstallFreeImageMessages();

  Bitmap bitmap = LoadPng(st.InputPath, st.FailureReason, session.allowDirectRows && st.FormatId == FIF_JPEG);
  if (!bitmap) return false;
  st.SourceBpp = static_cast<int32_t>(FreeImage_GetBPP(bitmap.get()));
  int32_t width = static_cast<int32_t>(FreeImage_GetWidth(bitmap.get()));
  int32_t height = static_cast<int32_t>(FreeImage_GetHeight(bitmap.get()));

  // Geometry first, so that every later step sees the final size:
  //   rotation, then resizing (each re-reads width and height).
  const Settings& settings = session.settings;
  bitmap = RotateStep(std::move(bitmap), settings);
  if (!bitmap) {
    st.FailureReason = "cannot rotate the image: the result would exceed the limit of 500 megapixels and "
                       "65500 pixels a side, or memory ran out";
    return false;
  }
  width = static_cast<int32_t>(FreeImage_GetWidth(bitmap.get()));
  height = static_cast<int32_t>(FreeImage_GetHeight(bitmap.get()));
  bitmap = ResizeStep(std::move(bitmap), width, height, settings);
  if (!bitmap) {
    ImageSize target = ResizeTarget(settings, width, height).value_or(ImageSize{});
    st.FailureReason = "cannot resize the image to " + SizeText(target.width, target.height) + " pixels";
    if (target.width > 0 && target.height > 0 && !WithinImageLimits(target.width, target.height))
      st.FailureReason += " (the limit is 500 megapixels and 65500 pixels a side)";
    return false;
  }
  width = static_cast<int32_t>(FreeImage_GetWidth(bitmap.get()));
  height = static_cast<int32_t>(FreeImage_GetHeight(bitmap.get()));

  // 16 bits per channel down to 8, keeping alpha for the flattening below.
  bitmap = NormalizeDeepImage(std::move(bitmap));
  bitmap = FlattenTransparency(std::move(bitmap));

  // Then flips, colour correction, greyscale, threshold, dither, and the frame.
  bitmap = FlipStep(std::move(bitmap), settings);
  bitmap = ColorCorrectionStep(std::move(bitmap), settings);
  bitmap = GreyscaleStep(std::move(bitmap), settings);
  bitmap = ThresholdStep(std::move(bitmap), settings);
  bitmap = DitherStep(std::move(bitmap), settings);
  bitmap = FrameStep(std::move(bitmap), width, height, settings);

  st.ImageWidth = width;
  st.ImageHeight = height;
  st.FrameNumber = 1;

  // Then the watermark, which may name the size above in its text.
  std::string watermarkSkipped;
  bitmap = WatermarkStep(std::move(bitmap), width, height, session, &watermarkSkipped);

  bitmap = ConvertBitDepth(session, std::move(bitmap));
  st.OutputPath = BuildOutputPath(session);
  if (session.settings.KeepSubfolders) CreateOutputSubfolders(session);
  if (SaveBitmap(session, bitmap.get(), st.FailureReason)) return true;
  if (!watermarkSkipped.empty()) st.FailureReason += "; " + watermarkSkipped;
  return false;
}

}  // namespace rastello

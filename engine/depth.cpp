#include <string>

#include "engine/formats.h"
#include "engine/session.h"

namespace rastello {

namespace {

bool EightBitsMeansGrey(std::string_view ext) { return ext == "j2k" || ext == "jp2" || ext == "jpg" || ext == "jxr"; }

// True when some pixel of a 24- or 32-bit bitmap is not grey. Other depths count as colour.
bool HasColour(FIBITMAP* dib) {
  unsigned bpp = FreeImage_GetBPP(dib);
  if (FreeImage_GetImageType(dib) != FIT_BITMAP || (bpp != 24 && bpp != 32)) return true;
  unsigned step = bpp / 8, width = FreeImage_GetWidth(dib), height = FreeImage_GetHeight(dib);
  for (unsigned y = 0; y < height; ++y) {
    const BYTE* p = FreeImage_GetScanLine(dib, y);
    for (unsigned x = 0; x < width; ++x, p += step)
      if (p[FI_RGBA_RED] != p[FI_RGBA_GREEN] || p[FI_RGBA_GREEN] != p[FI_RGBA_BLUE]) return true;
  }
  return false;
}

}  // namespace

Bitmap ConvertBitDepth(Session& session, Bitmap bitmap) {
  if (!bitmap) return bitmap;
  RunState& st = session.state;
  const std::string& ext = st.OutputFormat;
  const int32_t bpp = static_cast<int32_t>(FreeImage_GetBPP(bitmap.get()));
  if (st.AutoBpp) {
    st.TargetBpp = AutoBitDepth(ext, st.SourceBpp);
    // Eight bits are greyscale in these formats. A palette picture that an earlier step made
    // true-colour (flattening, rotation) keeps its colours rather than turning grey.
    if (st.TargetBpp == 8 && bpp > 8 && EightBitsMeansGrey(ext) && HasColour(bitmap.get()))
      st.TargetBpp = AutoBitDepth(ext, bpp);
  }
  if (bpp == st.TargetBpp) return bitmap;
  switch (st.TargetBpp) {
    case 96:
      return Replace(std::move(bitmap), FreeImage_ConvertToRGBF);
    case 48:
      return Replace(std::move(bitmap), FreeImage_ConvertToRGB16);
    case 32:
      return Replace(std::move(bitmap), FreeImage_ConvertTo32Bits);
    case 24:
      return Replace(std::move(bitmap), FreeImage_ConvertTo24Bits);
    case 16:
      if (FreeImage_GetBPP(bitmap.get()) > 32) bitmap = Replace(std::move(bitmap), FreeImage_ConvertTo24Bits);
      if (ext == "ico" || ext == "tga") return Replace(std::move(bitmap), FreeImage_ConvertTo16Bits555);
      return Replace(std::move(bitmap), FreeImage_ConvertTo16Bits565);
    case 8:
      if (EightBitsMeansGrey(ext))
        return Replace(std::move(bitmap), FreeImage_ConvertTo8Bits);
      if (FreeImage_GetBPP(bitmap.get()) != 24) bitmap = Replace(std::move(bitmap), FreeImage_ConvertTo24Bits);
      return Replace(std::move(bitmap),
                     [](FIBITMAP* dib) { return FreeImage_ColorQuantizeEx(dib, FIQ_WUQUANT, 256, 0, nullptr); });
    case 4:
      return Replace(std::move(bitmap), FreeImage_ConvertTo4Bits);
    case 1:
      return Replace(std::move(bitmap), [](FIBITMAP* dib) { return FreeImage_Dither(dib, FID_FS); });
    default:
      return Bitmap();
  }
}

}  // namespace rastello

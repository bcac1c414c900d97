#pragma once
// Owning handle of a FreeImage bitmap: every bitmap is unloaded on every path by construction.
#include <FreeImage.h>

#include <memory>

namespace rastello {

struct BitmapDeleter {
  void operator()(FIBITMAP* dib) const { FreeImage_Unload(dib); }
};
using Bitmap = std::unique_ptr<FIBITMAP, BitmapDeleter>;

// Replaces `bitmap` by the result of a conversion that leaves its source alone; the source
// is unloaded once its replacement exists. A null source stays null.
template <typename Convert>
Bitmap Replace(Bitmap bitmap, Convert convert) {
  if (!bitmap) return bitmap;
  return Bitmap(convert(bitmap.get()));
}

}  // namespace rastello

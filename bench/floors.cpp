// The two floors a converter on FreeImage cannot go below: starting a process that links
// FreeImage ("start"), and decoding a PNG plus encoding a JPEG ("codec", quality 95, 4:4:4).
#include <FreeImage.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "start") == 0) {
    std::printf("%s\n", FreeImage_GetVersion());
    return 0;
  }
  if (argc != 4 || std::strcmp(argv[1], "codec") != 0) {
    std::fprintf(stderr, "usage: floors start | floors codec in.png out.jpg\n");
    return 2;
  }
  FIBITMAP* dib = FreeImage_Load(FIF_PNG, argv[2], PNG_DEFAULT);
  if (!dib) return 1;
  if (FreeImage_GetBPP(dib) != 24) {
    FIBITMAP* rgb = FreeImage_ConvertTo24Bits(dib);
    FreeImage_Unload(dib);
    dib = rgb;
  }
  bool ok = FreeImage_Save(FIF_JPEG, dib, argv[3], 95 | JPEG_SUBSAMPLING_444);
  FreeImage_Unload(dib);
  return ok ? 0 : 1;
}

#include "engine/formats.h"

#include <algorithm>

#include "engine/session.h"
#include "settings/numbers.h"
#include "settings/settings.h"
#include "settings/text.h"

namespace rastello {

const std::map<std::string, OutputFormatInfo>& OutputFormats() {
  static const std::map<std::string, OutputFormatInfo> formats = [] {
    std::map<std::string, OutputFormatInfo> m;
    auto add = [&m](int32_t id, const char* ext, const char* description, const char* depths) {
      m[ext] = OutputFormatInfo{id, ext, description, depths};
    };
    add(FIF_BMP, "bmp", "Windows or OS/2 Bitmap", "1,4,8,16,24,32");
    add(FIF_EXR, "exr", "ILM OpenEXR", "96");
    add(FIF_GIF, "gif", "Graphics Interchange Format", "8");
    add(FIF_HDR, "hdr", "High Dynamic Range Image", "96");
    add(FIF_ICO, "ico", "Windows Icon", "1,4,8,16,24,32");
    add(FIF_J2K, "j2k", "JPEG-2000 Codestream", "8,24,32,48");
    add(FIF_JNG, "jng", "JPEG Network Graphics", "24,32");
    add(FIF_JP2, "jp2", "JPEG-2000 File Format", "8,24,32,48");
    add(FIF_JPEG, "jpg", "JPEG File Format", "8,24");
    add(FIF_JXR, "jxr", "JPEG XR Image Format", "1,8,16,24,32,48,96");
    add(FIF_PBM, "pbm", "Portable Bitmap", "1");
    add(FIF_PFM, "pfm", "Portable Floatmap", "96");
    add(FIF_PGM, "pgm", "Portable Greymap", "8");
    add(FIF_PNG, "png", "Portable Network Graphics", "1,4,8,24,32,48");
    add(FIF_PPM, "ppm", "Portable Pixelmap", "24,48");
    add(FIF_TARGA, "tga", "Truevision Targa", "8,16,24,32");
    add(FIF_TIFF, "tiff", "Tagged Image File Format", "1,4,8,24,32,48,96");
    add(FIF_WBMP, "wbmp", "Wireless Bitmap", "1");
    add(FIF_WEBP, "webp", "Google WebP Image Format", "24,32");
    add(FIF_XPM, "xpm", "X11 Pixmap Format", "24");
    return m;
  }();
  return formats;
}

const std::map<std::string, InputFormatInfo>& InputFormats() {
  static const std::map<std::string, InputFormatInfo> formats = [] {
    std::map<std::string, InputFormatInfo> m;
    auto add = [&m](const char* family, std::initializer_list<const char*> extensions, const char* description) {
      for (const char* ext : extensions) m[ext] = InputFormatInfo{family, description};
    };
    add("bmp", {"bmp", "rle", "dib"}, "Windows or OS/2 Bitmap");
    add("dds", {"dds"}, "DirectDraw Surface File");
    add("emf", {"emf", "emz"}, "Enhanced Metafile Format");
    add("gif", {"gif"}, "GIF File");
    add("hdr", {"hdr", "hdri"}, "High Dynamic Range File");
    add("ico", {"ico"}, "Windows Icon");
    add("jpg", {"jpg", "jpeg", "jpe", "jif"}, "JPEG File");
    add("pcd", {"pcd", "pcd1", "pcds", "ppcd"}, "Kodak PhotoCD File");
    add("pcx", {"pcx"}, "ZSoft Paintbrush File");
    add("pic", {"pic", "pict", "pct"}, "Macintosh PICT");
    add("png", {"png"}, "Portable Network Graphics");
    add("psd", {"psd"}, "Adobe Photoshop File");
    add("tga", {"tga", "targa"}, "Truevision Targa");
    add("tiff", {"tiff", "tif"}, "Tagged Image File Format");
    add("wmf", {"wmf", "wmz"}, "Windows Metafile Format");
    add("wmf", {"apm"}, "Aldus Placeable Metafile");
    add("raw", {"raw", "raw1", "raw2"}, "Camera RAW Image");
    add("raw", {"3fr"}, "Hasselblad Camera RAW Image");
    add("raw", {"arw", "sr2", "srf"}, "Sony Camera RAW Image");
    add("raw", {"bay"}, "Casio Camera RAW Image");
    add("raw", {"bmq"}, "NuCore RAW Image");
    add("raw", {"cap", "iiq", "eip"}, "Phase One Camera RAW Image");
    add("raw", {"cine"}, "Phantom RAW Image");
    add("raw", {"cr2", "crw"}, "Canon Camera RAW Image");
    add("raw", {"cs1"}, "Capture Shop RAW Image");
    add("raw", {"dc2", "dcr", "drf", "dsc", "k25", "kc2", "kdc", "dcs"}, "Kodak Camera RAW Image");
    add("raw", {"dng"}, "Adobe Digital Negative Image");
    add("raw", {"erf"}, "Epson Camera RAW Image");
    add("raw", {"fff"}, "Imacon Camera RAW Image");
    add("raw", {"ia", "sti"}, "Sinar RAW Image");
    add("raw", {"mdc", "mrw"}, "Minolta Camera RAW Image");
    add("raw", {"mef", "mos"}, "Mamiya Camera RAW Image");
    add("raw", {"nef", "nrw"}, "Nikon Camera RAW Image");
    add("raw", {"orf"}, "Olympus Camera RAW Image");
    add("raw", {"pef", "ptx"}, "Pentax Camera RAW Image");
    add("raw", {"pxn"}, "Logitech Camera RAW Image");
    add("raw", {"qtk"}, "Apple Quicktake Camera RAW Image");
    add("raw", {"raf"}, "Fuji Camera RAW Image");
    add("raw", {"rdc"}, "Digital Foto Maker RAW Image");
    add("raw", {"rw2"}, "Panasonic Camera RAW Image");
    add("raw", {"rwz"}, "Rawzor Camera RAW Image");
    add("raw", {"x3f"}, "Sigma Camera RAW Image");
    add("raw", {"ari"}, "ARRI RAW Image");
    add("raw", {"r3d"}, "RED RAW Image");
    add("raw", {"rwl"}, "Leica Camera RAW Image");
    return m;
  }();
  return formats;
}

const std::vector<std::string>& AllowedOutputFormats() {
  static const std::vector<std::string> list{"jpg"};
  return list;
}

const std::vector<std::string>& AllowedInputFormats() {
  static const std::vector<std::string> list{"png"};
  return list;
}

bool IsAllowedOutputFormat(std::string_view extension) {
  const auto& list = AllowedOutputFormats();
  return std::find(list.begin(), list.end(), extension) != list.end();
}

namespace {

std::vector<int32_t> AllowedDepthList(std::string_view extension) {
  std::vector<int32_t> depths;
  auto it = OutputFormats().find(std::string(extension));
  if (it == OutputFormats().end()) return depths;
  std::string_view text = it->second.allowedDepths;
  while (!text.empty()) {
    size_t comma = text.find(',');
    depths.push_back(ReadInteger(text.substr(0, comma)));
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return depths;
}

}  // namespace

bool IsAllowedDepth(std::string_view extension, int64_t depth) {
  if (depth == 0) return true;
  for (int32_t d : AllowedDepthList(extension))
    if (d == depth) return true;
  return false;
}

const std::vector<std::string>& AcceptedExtensions() {
  static const std::vector<std::string> list = [] {
    std::vector<std::string> accepted;
    for (const std::string& family : AllowedInputFormats())
      for (const auto& [ext, info] : InputFormats())
        if (info.family == family) accepted.push_back(ext);
    return accepted;
  }();
  return list;
}

bool IsAcceptedExtension(std::string_view extension) {
  const auto& list = AcceptedExtensions();
  return std::find(list.begin(), list.end(), extension) != list.end();
}

int32_t SaveFlagsFor(const Settings& s, std::string_view ext) {
  int32_t flags = 0;
  if (ext == "bmp") {
    if (s.BMPCompression == 1) flags |= BMP_SAVE_RLE;
  } else if (ext == "exr") {
    static const int32_t kExr[] = {EXR_NONE, EXR_ZIP, EXR_PIZ, EXR_PXR24, EXR_B44};
    if (s.EXRCompression >= 0 && s.EXRCompression <= 4) flags |= kExr[s.EXRCompression];
  } else if (ext == "jpg") {
    flags = s.JPGQuality;
    static const int32_t kChroma[] = {JPEG_SUBSAMPLING_444, JPEG_SUBSAMPLING_422, JPEG_SUBSAMPLING_420,
                                      JPEG_SUBSAMPLING_411};
    static const int32_t kMode[] = {0, JPEG_BASELINE, JPEG_OPTIMIZE, JPEG_PROGRESSIVE};
    if (s.JPGChroma >= 0 && s.JPGChroma <= 3) flags |= kChroma[s.JPGChroma];
    if (s.JPGSaveAs >= 0 && s.JPGSaveAs <= 3) flags |= kMode[s.JPGSaveAs];
  } else if (ext == "jxr") {
    flags = JXR_LOSSLESS;
  } else if (ext == "png") {
    static const int32_t kPng[] = {PNG_Z_NO_COMPRESSION, PNG_Z_BEST_SPEED, PNG_Z_DEFAULT_COMPRESSION,
                                   PNG_Z_BEST_COMPRESSION};
    if (s.PNGCompression >= 0 && s.PNGCompression <= 3) flags |= kPng[s.PNGCompression];
    if (s.PNGInterlaced) flags |= PNG_INTERLACED;
  } else if (ext == "tga") {
    if (s.TGACompression == 1) flags |= TARGA_SAVE_RLE;
  } else if (ext == "tiff") {
    static const int32_t kTiff[] = {TIFF_NONE,    TIFF_CCITTFAX3, TIFF_CCITTFAX4, TIFF_PACKBITS, TIFF_DEFLATE,
                                    TIFF_ADOBE_DEFLATE, TIFF_LZW, TIFF_JPEG,      TIFF_LOGLUV};
    if (s.TIFFCompression >= 0 && s.TIFFCompression <= 8) flags |= kTiff[s.TIFFCompression];
    if (s.TIFFColorMode == 1) flags |= TIFF_CMYK;
  } else if (ext == "webp") {
    flags = s.WEBPQuality == 100 ? WEBP_LOSSLESS : s.WEBPQuality;
  }
  return flags;
}

int32_t AutoBitDepth(std::string_view extension, int32_t sourceBpp) {
  std::vector<int32_t> depths = AllowedDepthList(extension);
  if (depths.empty()) return 0;
  for (int32_t d : depths)
    if (d >= sourceBpp) return d;
  return depths.back();
}

void SelectOutputFormat(Session& session) {
  RunState& st = session.state;
  auto it = OutputFormats().find(st.OutputFormat);
  st.FormatId = it != OutputFormats().end() ? it->second.formatId : 0;
  const SettingInfo* depth = FindSetting("Output", AsciiUpper(st.OutputFormat) + " BPP");
  st.TargetBpp = depth ? static_cast<int32_t>(NumericValue(session.settings, depth->field)) : 0;
  st.SaveFlags = SaveFlagsFor(session.settings, st.OutputFormat);
  st.AutoBpp = st.TargetBpp == 0;
}

}  // namespace rastello

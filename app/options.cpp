#include "app/options.h"

#include "settings/numbers.h"
#include "settings/text.h"
#include "settings/vocabulary.h"

namespace rastello {

namespace {

using K = OptionKind;
using S = Settings;

OptionInfo Int(const char* word, SettingField field, int8_t S::*also = nullptr, int8_t alsoValue = 1) {
  return OptionInfo{word, K::Integer, field, -1, also, alsoValue};
}
OptionInfo Word(const char* word, SettingField field, int vocabulary, int8_t S::*also = nullptr) {
  return OptionInfo{word, K::Word, field, vocabulary, also};
}
OptionInfo Text(const char* word, std::string S::*field, int8_t S::*also = nullptr, int8_t alsoValue = 1) {
  return OptionInfo{word, K::Text, field, -1, also, alsoValue};
}
OptionInfo Switch(const char* word, int8_t S::*field, int8_t value = 1, int8_t S::*also = nullptr) {
  return OptionInfo{word, K::Switch, field, -1, also, 1, value};
}

std::vector<OptionInfo> BuildTable() {
  std::vector<OptionInfo> t = {
      Int("--RAW-HEADER-SIZE", &S::RAWHeaderSize),
      Int("--RAW-WIDTH", &S::RAWImageWidth),
      Int("--RAW-HEIGHT", &S::RAWImageHeight),
      Int("--BMP-BPP", &S::BMPBPP),
      Int("--DDS-BPP", &S::DDSBPP),
      Int("--EXR-BPP", &S::EXRBPP),
      Int("--GIF-BPP", &S::GIFBPP),
      Int("--HDR-BPP", &S::HDRBPP),
      Int("--ICO-BPP", &S::ICOBPP),
      Int("--J2K-BPP", &S::J2KBPP),
      Int("--JNG-BPP", &S::JNGBPP),
      Int("--JP2-BPP", &S::JP2BPP),
      Int("--JPG-BPP", &S::JPGBPP),
      Int("--JPG-QUALITY", &S::JPGQuality),
      Int("--JXR-BPP", &S::JXRBPP),
      Int("--PBM-BPP", &S::PBMBPP),
      Int("--PCX-BPP", &S::PCXBPP),
      Int("--PFM-BPP", &S::PFMBPP),
      Int("--PGM-BPP", &S::PGMBPP),
      Int("--PNG-BPP", &S::PNGBPP),
      Int("--PPM-BPP", &S::PPMBPP),
      Int("--PSD-BPP", &S::PSDBPP),
      Int("--TGA-BPP", &S::TGABPP),
      Int("--TIFF-BPP", &S::TIFFBPP),
      Int("--WBMP-BPP", &S::WBMPBPP),
      Int("--WEBP-BPP", &S::WEBPBPP),
      Int("--WEBP-QUALITY", &S::WEBPQuality),
      Int("--XPM-BPP", &S::XPMBPP),
      Int("--ROTATION", &S::ImageRotation, &S::DoImageRotation),
      Int("--WIDTH", &S::ImageWidth, &S::DoImageResize),
      Int("--HEIGHT", &S::ImageHeight, &S::DoImageResize),
      Int("--BRIGHTNESS", &S::ImageBrightness, &S::DoImageColorCorrection),
      Int("--CONTRAST", &S::ImageContrast, &S::DoImageColorCorrection),
      Int("--THRESHOLD", &S::ImageThreshold, &S::DoImageThreshold),
      Int("--FR-SOLID-LEFT", &S::SolidLeft, &S::DoFrame),
      Int("--FR-SOLID-RIGHT", &S::SolidRight, &S::DoFrame),
      Int("--FR-SOLID-TOP", &S::SolidTop, &S::DoFrame),
      Int("--FR-SOLID-BOTTOM", &S::SolidBottom, &S::DoFrame),
      Int("--WM-FONT-SIZE", &S::FontSize),
      Int("--WM-FONT-LEADING", &S::FontLeading),
      Int("--WM-TEXT-PADDING", &S::TextPadding),
      Int("--WM-TEXT-OPACITY", &S::TextOpacity),
      Int("--WM-BACK-OPACITY", &S::BackOpacity),
      Int("--WM-TEXT-X-OFFSET", &S::TextXOffset),
      Int("--WM-TEXT-Y-OFFSET", &S::TextYOffset),
      Int("--WM-TEXT-ROTATION", &S::TextRotation),
      Int("--WM-IMAGE-OPACITY", &S::ImageOpacity),
      Int("--WM-IMAGE-X-OFFSET", &S::ImageXOffset),
      Int("--WM-IMAGE-Y-OFFSET", &S::ImageYOffset),
      Int("--WM-IMAGE-ROTATION", &S::WatermarkImageRotation),
      Int("--FILE-TIMESTAMP-CUSTOM", &S::CustomTimestamp),
      OptionInfo{"--GAMMA", K::Float, &S::ImageGamma, -1, &S::DoImageColorCorrection},
      Word("--DDS-LOAD-AS", &S::DDSLoadAs, 0),
      Word("--GIF-FRAME-LOADING", &S::GIFFrameLoading, 2),
      Word("--ICO-FRAME-LOADING", &S::ICOFrameLoading, 2),
      Word("--PSD-COLOR-MODE", &S::PSDColorMode, 6),
      Word("--RAW-LOAD-AS", &S::RAWLoadAs, 1),
      Word("--RAW-TONE-MAPPING", &S::RAWToneMapping, 3),
      Word("--TIFF-FRAME-LOADING", &S::TIFFFrameLoading, 2),
      Word("--BMP-COMPRESSION", &S::BMPCompression, 4),
      Word("--BMP-COLOR-TABLE", &S::BMPColorTable, 5),
      Word("--EXR-COMPRESSION", &S::EXRCompression, 4),
      Word("--JPG-CHROMA", &S::JPGChroma, 7),
      Word("--JPG-SAVE-AS", &S::JPGSaveAs, 8),
      Word("--PNG-COMPRESSION", &S::PNGCompression, 4),
      Word("--TGA-COMPRESSION", &S::TGACompression, 4),
      Word("--TIFF-COMPRESSION", &S::TIFFCompression, 4),
      Word("--TIFF-COLOR-MODE", &S::TIFFColorMode, 6),
      Word("--ROTATION-TYPE", &S::ImageRotationType, 9),
      Word("--WIDTH-UNIT", &S::ImageWidthUnit, 10),
      Word("--HEIGHT-UNIT", &S::ImageHeightUnit, 10),
      Word("--RESIZE-TYPE", &S::ImageResizeType, 11),
      Word("--RESIZE-ALGORITHM", &S::ImageResizeAlgorithm, 12),
      Word("--DITHER", &S::ImageDitherAlgorithm, 13, &S::DoImageDither),
      Word("--WM-FONT-STYLE", &S::FontStyle, 16),
      Word("--WM-FONT-EFFECT", &S::FontEffect, 17),
      Word("--WM-TEXT-ALIGNMENT", &S::TextAlignment, 18),
      Word("--WM-TEXT-BOUNDARY", &S::TextBoundary, 19),
      Word("--WM-TEXT-POSITION", &S::TextPosition, 20),
      Word("--WM-TEXT-SIZE", &S::TextSize, 21),
      Word("--WM-IMAGE-BOUNDARY", &S::ImageBoundary, 19),
      Word("--WM-IMAGE-POSITION", &S::ImagePosition, 20),
      Word("--WM-IMAGE-SIZE", &S::ImageSize, 21),
      Word("--FILE-TIMESTAMP", &S::FileTimestamp, 22),
      Text("--ROTATION-BACK-COLOR", &S::ImageRotationBackColor),
      Text("--FR-SOLID-LEFT-COLOR", &S::SolidLeftColor),
      Text("--FR-SOLID-RIGHT-COLOR", &S::SolidRightColor),
      Text("--FR-SOLID-TOP-COLOR", &S::SolidTopColor),
      Text("--FR-SOLID-BOTTOM-COLOR", &S::SolidBottomColor),
      Text("--WM-TEXT", &S::Text, &S::DoWatermark, 1),
      Text("--WM-FONT", &S::Font),
      Text("--WM-FONT-COLOR", &S::FontColor),
      Text("--WM-BACK-COLOR", &S::BackColor),
      Text("--WM-IMAGE", &S::Image, &S::DoWatermark, 2),
      Text("--FILENAME-MASK", &S::FilenameMask),
      Switch("--PNG-INTERLACED", &S::PNGInterlaced),
      Switch("--KEEP-ASPECT-RATIO", &S::KeepAspectRatio),
      Switch("--FLIP-HORIZONTAL", &S::DoImageFlipHorizontal),
      Switch("--FLIP-VERTICAL", &S::DoImageFlipVertical),
      Switch("--INVERT", &S::ImageInvert, 1, &S::DoImageColorCorrection),
      Switch("--GREYSCALE", &S::DoImageGreyscale),
      Switch("--WM-TEXT-ANTIALIASING", &S::TextAntialiasing),
      Switch("--WM-IMAGE-GREYSCALE", &S::ImageGreyscale),
      Switch("--NO-SUBFOLDERS", &S::KeepSubfolders, 0),
  };
  // The frame opacity goes by another word in profile files.
  OptionInfo opacity = Int("--FR-SOLID-OPACITY", &S::SolidOpacity);
  opacity.scope = kCommandLine;
  t.push_back(opacity);
  opacity.word = "--WM-SOLID-OPACITY";
  opacity.scope = kProfile;
  t.push_back(opacity);
  return t;
}

}  // namespace

const std::vector<OptionInfo>& OptionTable() {
  static const std::vector<OptionInfo> table = BuildTable();
  return table;
}

const OptionInfo* FindOption(std::string_view word, OptionScope scope) {
  for (const OptionInfo& option : OptionTable())
    if ((option.scope & scope) && word == option.word) return &option;
  return nullptr;
}

void ApplyOption(Settings& settings, const OptionInfo& option, std::string_view value) {
  switch (option.kind) {
    case OptionKind::Integer:
      // Dates keep all 64 bits; every other integer keeps its low 32.
      if (std::holds_alternative<int64_t Settings::*>(option.field))
        StoreNumber(settings, option.field, ReadInteger64(value));
      else
        StoreNumber(settings, option.field, ReadInteger(value));
      break;
    case OptionKind::Float:
      settings.*std::get<float Settings::*>(option.field) = ReadFloat(value);
      break;
    case OptionKind::Word:
      StoreNumber(settings, option.field, VocabularyValue(option.vocabulary, TrimBlanks(value)));
      break;
    case OptionKind::Text:
      settings.*std::get<std::string Settings::*>(option.field) = std::string(value);
      break;
    case OptionKind::Switch:
      StoreNumber(settings, option.field, option.switchValue);
      break;
  }
  if (option.also) settings.*option.also = option.alsoValue;
}

}  // namespace rastello

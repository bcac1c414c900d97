#pragma once
// The one record of every setting, and the table that names each field by its group and key.
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace rastello {

struct Settings {
  // [General]
  int32_t CFG = 19;
  std::string Language;
  int32_t UpdateRange = 0;
  int64_t UpdateDate = 0;
  int8_t SaveWindowPosition = 0;
  // [Window]
  int8_t IsMaximized = 0;
  int32_t Width = 0, Height = 0, X = 0, Y = 0;
  // [Interface]
  std::string UITheme;
  int32_t UISize = 0;
  // [Input]
  std::string InputFormat;
  int32_t DDSLoadAs = 0, GIFFrameLoading = 0, ICOFrameLoading = 0, TIFFFrameLoading = 0;
  int32_t PSDColorMode = 0, RAWLoadAs = 0, RAWHeaderSize = 0, RAWImageWidth = 0, RAWImageHeight = 0;
  int32_t RAWToneMapping = 0;
  // [Output]
  std::string OutputFormat;
  int32_t BMPBPP = 0, BMPCompression = 0, BMPColorTable = 0, DDSBPP = 0, EXRBPP = 0, EXRCompression = 0;
  int32_t GIFBPP = 0, HDRBPP = 0, ICOBPP = 0, J2KBPP = 0, JNGBPP = 0, JP2BPP = 0;
  int32_t JPGBPP = 0, JPGQuality = 0, JPGChroma = 0, JPGSaveAs = 0;
  int32_t JXRBPP = 0, PBMBPP = 0, PCXBPP = 0, PFMBPP = 0, PGMBPP = 0, PNGBPP = 0, PNGCompression = 0;
  int8_t PNGInterlaced = 0;
  int32_t PPMBPP = 0, PSDBPP = 0, TGABPP = 0, TGACompression = 0;
  int32_t TIFFBPP = 0, TIFFCompression = 0, TIFFColorMode = 0;
  int32_t WBMPBPP = 0, WEBPBPP = 0, WEBPQuality = 0, XPMBPP = 0;
  // [Transform]
  int8_t DoImageRotation = 0, ImageRotationType = 0;
  int32_t ImageRotation = 0;
  std::string ImageRotationBackColor;
  int8_t DoImageResize = 0;
  int32_t ImageWidth = 0;
  int8_t ImageWidthUnit = 0;
  int32_t ImageHeight = 0;
  int8_t ImageHeightUnit = 0, KeepAspectRatio = 0, ImageResizeType = 0, ImageResizeAlgorithm = 0;
  int8_t DoImageFlipHorizontal = 0, DoImageFlipVertical = 0;
  // [Adjustment]
  int8_t DoImageColorCorrection = 0;
  int32_t ImageBrightness = 0, ImageContrast = 0;
  float ImageGamma = 1.0f;
  int8_t ImageInvert = 0, DoImageGreyscale = 0, DoImageThreshold = 0;
  int32_t ImageThreshold = 0;
  int8_t DoImageDither = 0, ImageDitherAlgorithm = 0;
  // [Frame]
  int8_t DoFrame = 0;
  int32_t SolidLeft = 0, SolidRight = 0, SolidTop = 0, SolidBottom = 0;
  std::string SolidLeftColor, SolidRightColor, SolidTopColor, SolidBottomColor;
  int32_t SolidOpacity = 0;
  // [Watermark]
  int8_t DoWatermark = 0;
  std::string Text, Fonts, Font;
  int32_t FontSize = 0, FontLeading = 0;
  std::string FontColors, FontColor;
  int8_t FontStyle = 0, FontEffect = 0, TextAntialiasing = 0, TextAlignment = 0;
  int32_t TextPadding = 0, TextOpacity = 0;
  std::string BackColors, BackColor;
  int32_t BackOpacity = 0;
  int8_t TextBoundary = 0, TextPosition = 0;
  int32_t TextXOffset = 0, TextYOffset = 0, TextRotation = 0;
  int8_t TextSize = 0;
  int32_t TextScale = 0;
  std::string Image;
  int8_t ImageGreyscale = 0;
  int32_t ImageOpacity = 0;
  int8_t ImageBoundary = 0, ImagePosition = 0;
  int32_t ImageXOffset = 0, ImageYOffset = 0;
  int32_t WatermarkImageRotation = 0;  // [Watermark] Image Rotation
  int8_t ImageSize = 0;
  int32_t ImageScale = 0;
  // [Advanced]
  std::string FilenameMask;
  int8_t FileTimestamp = 0;
  int64_t CustomTimestamp = 0;
  int8_t OutFoldersHistory = 0, OutFoldersNumber = 0, KeepSubfolders = 0;
  // [File]
  std::string RecentOutFolders, RecentFiles;
  // [Privacy]
  int8_t CleanRecentFiles = 0;
};

enum class SettingKind { Flag, SmallEnum, SmallInteger, Enum, Integer, Float, Text, Colour, DateTime };

using SettingField = std::variant<int8_t Settings::*, int32_t Settings::*, int64_t Settings::*,
                                  float Settings::*, std::string Settings::*>;

struct SettingInfo {
  const char* group;
  const char* key;
  SettingKind kind;
  SettingField field;
  int vocabulary = -1;  // for the enumerations
};

// Every setting, groups and keys in the order the settings file holds them.
const std::vector<SettingInfo>& SettingsTable();
// Group and key compared without regard to case; null when unknown.
const SettingInfo* FindSetting(std::string_view group, std::string_view key);

// The value of a numeric field, widened; 0 for text fields.
int64_t NumericValue(const Settings& s, const SettingField& field);
// Stores a number into a numeric field, keeping as many low bits as the field holds.
void StoreNumber(Settings& s, const SettingField& field, int64_t value);

struct DesktopSize {
  int width = 0;
  int height = 0;
};

// Every field to its default. The command-line mode differs only in Keep Aspect Ratio.
// The window position centres a 510 x 260 window on `desktop` (unknown size: 100, 100).
void ResetSettings(Settings& s, bool commandLineMode, DesktopSize desktop = {});

// Seconds since 1970-01-01 00:00:00 counted in local time: the form of every stored date.
int64_t LocalNowSeconds();

}  // namespace rastello

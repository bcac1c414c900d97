#include "settings/settings.h"

#include <ctime>
#include <type_traits>

#include <maker.h>

#include "platform/time.h"
#include "settings/text.h"
#include "settings/vocabulary.h"

namespace rastello {

namespace {

using K = SettingKind;
using S = Settings;

std::vector<SettingInfo> BuildTable() {
  return {
      {"General", "CFG", K::Integer, &S::CFG},
      {"General", "Language", K::Text, &S::Language},
      {"General", "Update Range", K::Integer, &S::UpdateRange},
      {"General", "Update Date", K::DateTime, &S::UpdateDate},
      {"General", "Save Window Position", K::Flag, &S::SaveWindowPosition},
      {"Window", "IsMaximized", K::Flag, &S::IsMaximized},
      {"Window", "Width", K::Integer, &S::Width},
      {"Window", "Height", K::Integer, &S::Height},
      {"Window", "X", K::Integer, &S::X},
      {"Window", "Y", K::Integer, &S::Y},
      {"Interface", "UI Theme", K::Text, &S::UITheme},
      {"Interface", "UI Size", K::Integer, &S::UISize},
      {"Input", "Format", K::Text, &S::InputFormat},
      {"Input", "DDS Load As", K::Enum, &S::DDSLoadAs, kVocDdsLoadAs},
      {"Input", "GIF Frame Loading", K::Enum, &S::GIFFrameLoading, kVocFrameLoading},
      {"Input", "ICO Frame Loading", K::Enum, &S::ICOFrameLoading, kVocFrameLoading},
      {"Input", "TIFF Frame Loading", K::Enum, &S::TIFFFrameLoading, kVocFrameLoading},
      {"Input", "PSD Color Mode", K::Enum, &S::PSDColorMode, kVocColorMode},
      {"Input", "RAW Load As", K::Enum, &S::RAWLoadAs, kVocRawLoadAs},
      {"Input", "RAW Header Size", K::Integer, &S::RAWHeaderSize},
      {"Input", "RAW Image Width", K::Integer, &S::RAWImageWidth},
      {"Input", "RAW Image Height", K::Integer, &S::RAWImageHeight},
      {"Input", "RAW Tone Mapping", K::Enum, &S::RAWToneMapping, kVocRawToneMapping},
      {"Output", "Format", K::Text, &S::OutputFormat},
      {"Output", "BMP BPP", K::Integer, &S::BMPBPP},
      {"Output", "BMP Compression", K::Enum, &S::BMPCompression, kVocCompression},
      {"Output", "BMP Color Table", K::Enum, &S::BMPColorTable, kVocBmpColorTable},
      {"Output", "DDS BPP", K::Integer, &S::DDSBPP},
      {"Output", "EXR BPP", K::Integer, &S::EXRBPP},
      {"Output", "EXR Compression", K::Enum, &S::EXRCompression, kVocCompression},
      {"Output", "GIF BPP", K::Integer, &S::GIFBPP},
      {"Output", "HDR BPP", K::Integer, &S::HDRBPP},
      {"Output", "ICO BPP", K::Integer, &S::ICOBPP},
      {"Output", "J2K BPP", K::Integer, &S::J2KBPP},
      {"Output", "JNG BPP", K::Integer, &S::JNGBPP},
      {"Output", "JP2 BPP", K::Integer, &S::JP2BPP},
      {"Output", "JPG BPP", K::Integer, &S::JPGBPP},
      {"Output", "JPG Quality", K::Integer, &S::JPGQuality},
      {"Output", "JPG Chroma", K::Enum, &S::JPGChroma, kVocJpgChroma},
      {"Output", "JPG Save As", K::Enum, &S::JPGSaveAs, kVocJpgSaveAs},
      {"Output", "JXR BPP", K::Integer, &S::JXRBPP},
      {"Output", "PBM BPP", K::Integer, &S::PBMBPP},
      {"Output", "PCX BPP", K::Integer, &S::PCXBPP},
      {"Output", "PFM BPP", K::Integer, &S::PFMBPP},
      {"Output", "PGM BPP", K::Integer, &S::PGMBPP},
      {"Output", "PNG BPP", K::Integer, &S::PNGBPP},
      {"Output", "PNG Compression", K::Enum, &S::PNGCompression, kVocCompression},
      {"Output", "PNG Interlaced", K::Flag, &S::PNGInterlaced},
      {"Output", "PPM BPP", K::Integer, &S::PPMBPP},
      {"Output", "PSD BPP", K::Integer, &S::PSDBPP},
      {"Output", "TGA BPP", K::Integer, &S::TGABPP},
      {"Output", "TGA Compression", K::Enum, &S::TGACompression, kVocCompression},
      {"Output", "TIFF BPP", K::Integer, &S::TIFFBPP},
      {"Output", "TIFF Compression", K::Enum, &S::TIFFCompression, kVocCompression},
      {"Output", "TIFF Color Mode", K::Enum, &S::TIFFColorMode, kVocColorMode},
      {"Output", "WBMP BPP", K::Integer, &S::WBMPBPP},
      {"Output", "WEBP BPP", K::Integer, &S::WEBPBPP},
      {"Output", "WEBP Quality", K::Integer, &S::WEBPQuality},
      {"Output", "XPM BPP", K::Integer, &S::XPMBPP},
      {"Transform", "Do Image Rotation", K::Flag, &S::DoImageRotation},
      {"Transform", "Image Rotation Type", K::SmallEnum, &S::ImageRotationType, kVocRotationType},
      {"Transform", "Image Rotation", K::Integer, &S::ImageRotation},
      {"Transform", "Image Rotation Back Color", K::Colour, &S::ImageRotationBackColor},
      {"Transform", "Do Image Resize", K::Flag, &S::DoImageResize},
      {"Transform", "Image Width", K::Integer, &S::ImageWidth},
      {"Transform", "Image Width Unit", K::SmallEnum, &S::ImageWidthUnit, kVocUnit},
      {"Transform", "Image Height", K::Integer, &S::ImageHeight},
      {"Transform", "Image Height Unit", K::SmallEnum, &S::ImageHeightUnit, kVocUnit},
      {"Transform", "Keep Aspect Ratio", K::Flag, &S::KeepAspectRatio},
      {"Transform", "Image Resize Type", K::SmallEnum, &S::ImageResizeType, kVocResizeType},
      {"Transform", "Image Resize Algorithm", K::SmallEnum, &S::ImageResizeAlgorithm, kVocResizeAlgorithm},
      {"Transform", "Do Image Flip Horizontal", K::Flag, &S::DoImageFlipHorizontal},
      {"Transform", "Do Image Flip Vertical", K::Flag, &S::DoImageFlipVertical},
      {"Adjustment", "Do Image Color Correction", K::Flag, &S::DoImageColorCorrection},
      {"Adjustment", "Image Brightness", K::Integer, &S::ImageBrightness},
      {"Adjustment", "Image Contrast", K::Integer, &S::ImageContrast},
      {"Adjustment", "Image Gamma", K::Float, &S::ImageGamma},
      {"Adjustment", "Image Invert", K::Flag, &S::ImageInvert},
      {"Adjustment", "Do Image Greyscale", K::Flag, &S::DoImageGreyscale},
      {"Adjustment", "Do Image Threshold", K::Flag, &S::DoImageThreshold},
      {"Adjustment", "Image Threshold", K::Integer, &S::ImageThreshold},
      {"Adjustment", "Do Image Dither", K::Flag, &S::DoImageDither},
      {"Adjustment", "Image Dither Algorithm", K::SmallEnum, &S::ImageDitherAlgorithm, kVocDither},
      {"Frame", "Do Frame", K::SmallEnum, &S::DoFrame, kVocFrame},
      {"Frame", "Solid Left", K::Integer, &S::SolidLeft},
      {"Frame", "Solid Right", K::Integer, &S::SolidRight},
      {"Frame", "Solid Top", K::Integer, &S::SolidTop},
      {"Frame", "Solid Bottom", K::Integer, &S::SolidBottom},
      {"Frame", "Solid Left Color", K::Colour, &S::SolidLeftColor},
      {"Frame", "Solid Right Color", K::Colour, &S::SolidRightColor},
      {"Frame", "Solid Top Color", K::Colour, &S::SolidTopColor},
      {"Frame", "Solid Bottom Color", K::Colour, &S::SolidBottomColor},
      {"Frame", "Solid Opacity", K::Integer, &S::SolidOpacity},
      {"Watermark", "Do Watermark", K::SmallEnum, &S::DoWatermark, kVocWatermark},
      {"Watermark", "Text", K::Text, &S::Text},
      {"Watermark", "Fonts", K::Text, &S::Fonts},
      {"Watermark", "Font", K::Text, &S::Font},
      {"Watermark", "Font Size", K::Integer, &S::FontSize},
      {"Watermark", "Font Leading", K::Integer, &S::FontLeading},
      {"Watermark", "Font Colors", K::Text, &S::FontColors},
      {"Watermark", "Font Color", K::Colour, &S::FontColor},
      {"Watermark", "Font Style", K::SmallEnum, &S::FontStyle, kVocFontStyle},
      {"Watermark", "Font Effect", K::SmallEnum, &S::FontEffect, kVocFontEffect},
      {"Watermark", "Text Antialiasing", K::Flag, &S::TextAntialiasing},
      {"Watermark", "Text Alignment", K::SmallEnum, &S::TextAlignment, kVocTextAlignment},
      {"Watermark", "Text Padding", K::Integer, &S::TextPadding},
      {"Watermark", "Text Opacity", K::Integer, &S::TextOpacity},
      {"Watermark", "Back Colors", K::Text, &S::BackColors},
      {"Watermark", "Back Color", K::Colour, &S::BackColor},
      {"Watermark", "Back Opacity", K::Integer, &S::BackOpacity},
      {"Watermark", "Text Boundary", K::SmallEnum, &S::TextBoundary, kVocBoundary},
      {"Watermark", "Text Position", K::SmallEnum, &S::TextPosition, kVocPosition},
      {"Watermark", "Text X Offset", K::Integer, &S::TextXOffset},
      {"Watermark", "Text Y Offset", K::Integer, &S::TextYOffset},
      {"Watermark", "Text Rotation", K::Integer, &S::TextRotation},
      {"Watermark", "Text Size", K::SmallEnum, &S::TextSize, kVocSize},
      {"Watermark", "Text Scale", K::Integer, &S::TextScale},
      {"Watermark", "Image", K::Text, &S::Image},
      {"Watermark", "Image Greyscale", K::Flag, &S::ImageGreyscale},
      {"Watermark", "Image Opacity", K::Integer, &S::ImageOpacity},
      {"Watermark", "Image Boundary", K::SmallEnum, &S::ImageBoundary, kVocBoundary},
      {"Watermark", "Image Position", K::SmallEnum, &S::ImagePosition, kVocPosition},
      {"Watermark", "Image X Offset", K::Integer, &S::ImageXOffset},
      {"Watermark", "Image Y Offset", K::Integer, &S::ImageYOffset},
      {"Watermark", "Image Rotation", K::Integer, &S::WatermarkImageRotation},
      {"Watermark", "Image Size", K::SmallEnum, &S::ImageSize, kVocSize},
      {"Watermark", "Image Scale", K::Integer, &S::ImageScale},
      {"Advanced", "Filename Mask", K::Text, &S::FilenameMask},
      {"Advanced", "File Timestamp", K::SmallEnum, &S::FileTimestamp, kVocFileTimestamp},
      {"Advanced", "Custom Timestamp", K::DateTime, &S::CustomTimestamp},
      {"Advanced", "Out Folders History", K::Flag, &S::OutFoldersHistory},
      {"Advanced", "Out Folders Number", K::SmallInteger, &S::OutFoldersNumber},
      {"Advanced", "Keep Subfolders", K::Flag, &S::KeepSubfolders},
      {"File", "Recent Out Folders", K::Text, &S::RecentOutFolders},
      {"File", "Recent Files", K::Text, &S::RecentFiles},
      {"Privacy", "Clean Recent Files", K::Flag, &S::CleanRecentFiles},
  };
}

constexpr const char* kColourList = "000000,FFFFFF,FF0000,FF8000,FFFF00,008000,00FFFF,0000FF,8000FF";

}  // namespace

const std::vector<SettingInfo>& SettingsTable() {
  static const std::vector<SettingInfo> table = BuildTable();
  return table;
}

const SettingInfo* FindSetting(std::string_view group, std::string_view key) {
  for (const SettingInfo& info : SettingsTable())
    if (EqualsNoCase(info.group, group) && EqualsNoCase(info.key, key)) return &info;
  return nullptr;
}

int64_t NumericValue(const Settings& s, const SettingField& field) {
  return std::visit(
      [&s](auto member) -> int64_t {
        using T = std::remove_cvref_t<decltype(s.*member)>;
        if constexpr (std::is_same_v<T, std::string>)
          return 0;
        else
          return static_cast<int64_t>(s.*member);
      },
      field);
}

void StoreNumber(Settings& s, const SettingField& field, int64_t value) {
  std::visit(
      [&s, value](auto member) {
        using T = std::remove_cvref_t<decltype(s.*member)>;
        if constexpr (std::is_same_v<T, std::string>) {
          // text fields take no numbers
        } else if constexpr (std::is_same_v<T, float>) {
          s.*member = static_cast<float>(value);
        } else {
          // Keep the low bits, as a narrower field of the same kind would.
          using U = std::make_unsigned_t<T>;
          s.*member = static_cast<T>(static_cast<U>(static_cast<uint64_t>(value)));
        }
      },
      field);
}

int64_t LocalNowSeconds() { return LocalSecondsFromTime(std::time(nullptr)); }

void ResetSettings(Settings& s, bool commandLineMode, DesktopSize desktop) {
  s = Settings{};
  int64_t now = LocalNowSeconds();
  // [General]
  s.CFG = 19;
  s.Language = "en";
  s.UpdateRange = 2;
  s.UpdateDate = now;
  s.SaveWindowPosition = 1;
  // [Window]
  s.IsMaximized = 0;
  s.Width = 510;
  s.Height = 260;
  s.X = desktop.width > 510 ? (desktop.width - 510) / 2 : 100;
  s.Y = desktop.height > 260 ? (desktop.height - 260) / 2 : 100;
  // [Interface]
  s.UITheme = "handdrawn";
  s.UISize = 2;
  // [Input], [Output]: the first entries of the program's format lists
  s.InputFormat = "png";
  s.RAWToneMapping = 2;
  s.OutputFormat = "jpg";
  s.JPGQuality = 95;
  s.WEBPQuality = 100;
  // [Transform]
  s.ImageRotationBackColor = "000000";
  s.KeepAspectRatio = commandLineMode ? 0 : 1;
  s.ImageResizeAlgorithm = 3;
  // [Adjustment]
  s.ImageGamma = 1.0f;
  // [Frame]
  s.SolidLeftColor = s.SolidRightColor = s.SolidTopColor = s.SolidBottomColor = "000000";
  s.SolidOpacity = 255;
  // [Watermark]
  s.Text = maker::kNotice;
  s.Fonts = "Arial,Tahoma,Verdana";
  s.Font = "Arial";
  s.FontSize = 14;
  s.FontColors = kColourList;
  s.FontColor = "FFFFFF";
  s.TextOpacity = 255;
  s.BackColors = kColourList;
  s.BackColor = "000000";
  s.BackOpacity = 1;
  s.TextPosition = 8;
  s.TextXOffset = 10;
  s.TextYOffset = 10;
  s.TextScale = 10;
  s.ImageOpacity = 255;
  s.ImagePosition = 8;
  s.ImageXOffset = 10;
  s.ImageYOffset = 10;
  s.ImageScale = 10;
  // [Advanced]
  s.FilenameMask = "%filename%.%ext%";
  s.CustomTimestamp = now;
  s.OutFoldersHistory = 1;
  s.OutFoldersNumber = 5;
  s.KeepSubfolders = 1;
}

}  // namespace rastello

#include "app/cli_run.h"

#include <memory>
#include <thread>

#include "engine/batch.h"
#include "engine/formats.h"
#include "engine/session.h"
#include "i18n/placeholders.h"
#include "i18n/strings.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/font.h"
#include "settings/numbers.h"
#include "settings/text.h"
#include "settings/vocabulary.h"

namespace rastello {

namespace {

class Run {
 public:
  Run(Session& session, bool quiet, Console& console)
      : s_(session.settings), st_(session.state), session_(session), quiet_(quiet), console_(console),
        debug_(session.state.Mode == "DEBUG") {}

  int Go() {
    Status(LookupString("General", "Preparing"));
    if (!CheckInput() || !CheckOutput() || !CheckFormat() || !CheckImageOptions() || !CheckWatermark()) return 1;
    ListNaming();
    SelectOutputFormat(session_);

    Status(LookupString("General", "Importing"));
    int32_t queued = 0;
    std::string ext = AsciiLower(ExtensionPart(st_.InputPath));
    if (ext != "txt" && ext != "lst") queued = AddInputFile(session_, st_.InputPath) ? 1 : 0;
    Status(FillPlaceholders(LookupString("Msg", "Import complete"), std::to_string(queued)));
    if (queued == 0) {
      Always(LookupString("Msg", "Conversion is not complete"));
      Always(LookupString("Msg", "Empty input files"));
      return 1;
    }

    Status(LookupString("General", "Converting"));
    {
      std::lock_guard<std::mutex> lock(session_.progress.Lock);
      session_.progress.CurrentIndex = 0;
      session_.progress.CurrentFile.clear();
      session_.progress.FilesConverted = 0;
    }
    st_.Running = true;
    std::thread worker([this] { RunBatch(session_); });
    worker.join();
    int32_t converted;
    {
      std::lock_guard<std::mutex> lock(session_.progress.Lock);
      converted = session_.progress.FilesConverted;
    }
    if (converted > 0) {
      Status(LookupString("Msg", "Conversion complete"));
      Status(FillPlaceholders(LookupString("Msg", "Files converted"), std::to_string(converted),
                              std::to_string(queued)));
      return 0;
    }
    Always(LookupString("Msg", "Conversion is not complete"));
    if (!st_.FailureReason.empty()) console_.ErrorLine(st_.InputPath + ": " + st_.FailureReason);
    return 1;
  }

 private:
  void Status(const std::string& line) {
    if (!quiet_) console_.Line(line);
  }
  void Debug(const std::string& line) {
    if (debug_) console_.Line(line);
  }
  void Always(const std::string& line) { console_.Line(line); }
  bool Fail(const char* message) {
    console_.Line(std::string("Error: ") + message);
    return false;
  }
  static std::string N(int64_t value) { return std::to_string(value); }

  bool CheckInput() {
    Debug("Input: " + st_.InputRoot);
    if (ExtensionPart(st_.InputRoot).empty()) {
      st_.InputRoot.clear();
      return Fail("Invalid input file");
    }
    st_.InputPath = st_.InputRoot;
    st_.InputRoot.clear();
    if (FileSize(st_.InputPath) <= 0) return Fail("Invalid input file");
    return true;
  }

  bool CheckOutput() {
    if (st_.OutputFolder.empty()) st_.OutputFolder = FolderPart(st_.InputPath);
    Debug("Output: " + st_.OutputFolder);
    std::string& folder = st_.OutputFolder;
    if (folder.starts_with("..")) return Fail("Incorrect output folder");
    // Relative folders, and the empty folder of a bare input name, mean the current one.
    if (!folder.starts_with("/")) {
      if (folder == ".")
        folder.clear();
      else if (folder.starts_with("./"))
        folder.erase(0, 2);
      folder = CurrentFolder() + folder;
    }
    if (folder.back() != '/') folder += '/';
    if (!IsFolder(folder)) return Fail("Invalid output folder");
    return true;
  }

  bool CheckFormat() {
    if (st_.InputFormat.empty()) st_.InputFormat = AllowedInputFormats().front();
    if (st_.OutputFormat.empty()) st_.OutputFormat = AllowedOutputFormats().front();
    Debug("Conversion: " + st_.OutputFormat);
    if (!IsAllowedOutputFormat(st_.OutputFormat)) return Fail("Invalid conversion type");
    Debug("JPG BPP: " + N(s_.JPGBPP));
    Debug("JPG Quality: " + N(s_.JPGQuality));
    Debug("JPG Chroma Subsampling: " + VocabularyWord(kVocJpgChroma, s_.JPGChroma));
    Debug("JPG Save As: " + VocabularyWord(kVocJpgSaveAs, s_.JPGSaveAs));
    if (!IsAllowedDepth("jpg", s_.JPGBPP)) return Fail("Invalid jpg-bpp value");
    if (s_.JPGQuality < 1 || s_.JPGQuality > 100) return Fail("Invalid jpg-quality value");
    return true;
  }

  bool CheckImageOptions() {
    if (s_.DoImageRotation) {
      Debug("Image Rotation Type: " + VocabularyWord(kVocRotationType, s_.ImageRotationType));
      Debug("Image Rotation: " + N(s_.ImageRotation));
      Debug("Image Rotation Back Color: " + s_.ImageRotationBackColor);
    }
    if (s_.DoImageResize) {
      Debug("Width: " + N(s_.ImageWidth) + " " + VocabularyWord(kVocUnit, s_.ImageWidthUnit));
      if (s_.ImageWidth == 0) return Fail("Invalid width value");
      Debug("Height: " + N(s_.ImageHeight) + " " + VocabularyWord(kVocUnit, s_.ImageHeightUnit));
      if (s_.ImageHeight == 0) return Fail("Invalid height value");
      Debug("Keep Aspect Ratio: " + N(s_.KeepAspectRatio));
      Debug("Image Resize Type: " + VocabularyWord(kVocResizeType, s_.ImageResizeType));
      Debug("Image Resize Algorithm: " + VocabularyWord(kVocResizeAlgorithm, s_.ImageResizeAlgorithm));
    }
    Debug("Flip Horizontal: " + N(s_.DoImageFlipHorizontal));
    Debug("Flip Vertical: " + N(s_.DoImageFlipVertical));
    if (s_.DoImageColorCorrection) {
      Debug("Brightness: " + N(s_.ImageBrightness));
      if (s_.ImageBrightness < -100 || s_.ImageBrightness > 100) return Fail("Invalid brightness value");
      Debug("Contrast: " + N(s_.ImageContrast));
      if (s_.ImageContrast < -100 || s_.ImageContrast > 100) return Fail("Invalid contrast value");
      Debug("Gamma: " + FormatFloat(s_.ImageGamma, 2));
      // Written so that a gamma that is no number fails too.
      if (!(s_.ImageGamma >= 0.01f && s_.ImageGamma <= 9.99f)) return Fail("Invalid gamma value");
      Debug("Invert: " + N(s_.ImageInvert));
    }
    Debug("Greyscale: " + N(s_.DoImageGreyscale));
    if (s_.DoImageThreshold) Debug("Image Threshold: " + N(s_.ImageThreshold));
    if (s_.DoImageDither) Debug("Image Dithering Algorithm: " + VocabularyWord(kVocDither, s_.ImageDitherAlgorithm));
    Debug("Frame: " + VocabularyWord(kVocFrame, s_.DoFrame));
    if (s_.DoFrame == 1) {
      Debug("Frame left: " + N(s_.SolidLeft));
      Debug("Frame right: " + N(s_.SolidRight));
      Debug("Frame top: " + N(s_.SolidTop));
      Debug("Frame bottom: " + N(s_.SolidBottom));
      Debug("Frame left color: " + s_.SolidLeftColor);
      Debug("Frame right color: " + s_.SolidRightColor);
      Debug("Frame top color: " + s_.SolidTopColor);
      Debug("Frame bottom color: " + s_.SolidBottomColor);
      Debug("Frame opacity: " + N(s_.SolidOpacity));
    }
    return true;
  }

  bool CheckWatermark() {
    Debug("Watermark: " + VocabularyWord(kVocWatermark, s_.DoWatermark));
    if (s_.DoWatermark == 1) {
      Debug("Watermark text: " + s_.Text);
      Debug("Watermark font: " + s_.Font);
      Debug("Watermark font size: " + N(s_.FontSize));
      Debug("Watermark font leading: " + N(s_.FontLeading));
      Debug("Watermark font color: " + s_.FontColor);
      Debug("Watermark font style: " + VocabularyWord(kVocFontStyle, s_.FontStyle));
      Debug("Watermark font effect: " + VocabularyWord(kVocFontEffect, s_.FontEffect));
      Debug("Watermark text antialiasing: " + N(s_.TextAntialiasing));
      Debug("Watermark text alignment: " + VocabularyWord(kVocTextAlignment, s_.TextAlignment));
      Debug("Watermark text padding: " + N(s_.TextPadding));
      Debug("Watermark text opacity: " + N(s_.TextOpacity));
      Debug("Watermark background color: " + s_.BackColor);
      Debug("Watermark background opacity: " + N(s_.BackOpacity));
      Debug("Watermark boundary: " + VocabularyWord(kVocBoundary, s_.TextBoundary));
      Debug("Watermark position: " + VocabularyWord(kVocPosition, s_.TextPosition));
      Debug("Watermark offset (x/y): " + N(s_.TextXOffset) + "/" + N(s_.TextYOffset));
      Debug("Watermark rotation: " + N(s_.TextRotation));
      Debug("Watermark size/mode: " + VocabularyWord(kVocSize, s_.TextSize));
      FontRequest request;
      request.family = s_.Font;
      request.sizePoints = s_.FontSize;
      request.bold = s_.FontStyle == 1 || s_.FontStyle == 3;
      request.italic = s_.FontStyle == 2 || s_.FontStyle == 3;
      request.underline = s_.FontEffect == 1;
      request.strikeout = s_.FontEffect == 2;
      font_ = LoadFont(request);
      if (!font_) return Fail("Invalid watermark font");
      session_.watermarkFont = font_.get();
    } else if (s_.DoWatermark == 2) {
      Debug("Watermark image: " + s_.Image);
      Debug("Watermark greyscale: " + N(s_.ImageGreyscale));
      Debug("Watermark opacity: " + N(s_.ImageOpacity));
      Debug("Watermark boundary: " + VocabularyWord(kVocBoundary, s_.ImageBoundary));
      Debug("Watermark position: " + VocabularyWord(kVocPosition, s_.ImagePosition));
      Debug("Watermark offset (x/y): " + N(s_.ImageXOffset) + "/" + N(s_.ImageYOffset));
      Debug("Watermark rotation: " + N(s_.WatermarkImageRotation));
      Debug("Watermark size/mode: " + VocabularyWord(kVocSize, s_.ImageSize));
      if (FileSize(s_.Image) <= 0) return Fail("Invalid watermark image");
    }
    return true;
  }

  void ListNaming() {
    Debug("Filename Mask: " + s_.FilenameMask);
    Debug("File Timestamp: " + VocabularyWord(kVocFileTimestamp, s_.FileTimestamp));
    if (s_.FileTimestamp == 2) Debug("Custom Timestamp: " + N(s_.CustomTimestamp));
    Debug("Keep Subfolders: " + N(s_.KeepSubfolders));
  }

  const Settings& s_;
  RunState& st_;
  Session& session_;
  bool quiet_;
  Console& console_;
  bool debug_;
  FontHandle font_;  // lives for the run, freed when it ends
};

}  // namespace

int RunCommandLine(Session& session, bool quiet, Console& console) {
  session.print = [&console](std::string_view line) { console.Line(line); };
  int code = Run(session, quiet, console).Go();
  session.watermarkFont = nullptr;
  session.print = nullptr;
  return code;
}

}  // namespace rastello

// What the command line prints: help, version, banner, the status lines and the debug listing.
#include "cli_fixture.h"

namespace rastello::test {
namespace {

TEST_F(CliTest, HelpTextLineByLine) {
  const std::vector<std::string> expected = {
      " ",
      "Usage: rastello -i <filename> [options]",
      " ",
      "  rastello -i example.png",
      "  rastello -i /tmp/example.png",
      "  rastello -i /tmp/example.png -o /tmp/converted",
      "  rastello -i /tmp/example.png -o /tmp/converted --jpg-quality=95",
      " ",
      "Options:",
      " ",
      "  -h, -?, --help            Display this help and exit",
      "  -i FILE, --input=FILE     Set input file",
      "  -o PATH, --output=PATH    Set output folder",
      "  -c STR, --conversion=STR  Set output extension, STR = (jpg | bmp | ...)",
      " ",
      "Advanced options:",
      " ",
      "  --width=NUM               Set output image width",
      "  --height=NUM              Set output image height",
      "  --filename-mask=STR       Define output filename format",
      "  --flip-horizontal         Flip output image horizontally",
      "  --flip-vertical           Flip output image vertically",
      "  --brightness=NUM          Set output image brightness, NUM = -100..100",
      "  --contrast=NUM            Set output image contrast, NUM = -100..100",
      "  --gamma=NUM               Set output image gamma, NUM = 0.01..9.99",
      "  --invert                  Invert output image",
      "  --greyscale               Greyscale output image",
      "  --profile=FILE            Set configuration file with required settings",
      "    ...                     Refer documentation for all available options",
      " ",
      "Other options:",
      " ",
      "  -q, --quiet               Don't print status messages to stdout",
      "  -d, --debug               Print debug information to stdout",
      "  -p, --pause               Pause at exit",
      "  -v, --version             Display version information and exit",
  };
  for (const char* word : {"-h", "-?", "--HELP", "-H"}) {
    SCOPED_TRACE(word);
    ProgramResult r = Run({word, "-i", "a.png"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.lines(), expected);
    EXPECT_EQ(r.out.find('\r'), std::string::npos);
  }
  EXPECT_FALSE(Exists(dir / "a.jpg"));
}

TEST_F(CliTest, VersionIsTheOnlyLine) {
  for (const char* word : {"-v", "--version", "-V"}) {
    ProgramResult r = Run({word, "-i", "a.png"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "3.3\n") << word;
  }
  EXPECT_FALSE(Exists(dir / "a.jpg"));
}

TEST_F(CliTest, NormalRunPrintsTheStatusLines) {
  ProgramResult r = Run({"-i", dir / "a.png"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(AfterBanner(r), (std::vector<std::string>{"Preparing...", "Importing...",
                                                       "Import complete, new files added: 1", "Converting...",
                                                       "Conversion complete", "Files converted: 1 of 1"}));
  EXPECT_EQ(r.err, "");
  Bitmap jpeg = LoadAny(dir / "a.jpg");
  ASSERT_TRUE(jpeg);
  EXPECT_EQ(FreeImage_GetWidth(jpeg.get()), 40u);
}

TEST_F(CliTest, DebugListingWithDefaults) {
  ProgramResult r = Run({"-i", dir / "a.png", "-d"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(AfterBanner(r), (std::vector<std::string>{
                                "Preparing...",
                                "Input: " + dir / "a.png",
                                "Output: " + dir.path(),
                                "Conversion: jpg",
                                "JPG BPP: 0",
                                "JPG Quality: 95",
                                "JPG Chroma Subsampling: none",
                                "JPG Save As: standard",
                                "Flip Horizontal: 0",
                                "Flip Vertical: 0",
                                "Greyscale: 0",
                                "Frame: none",
                                "Watermark: none",
                                "Filename Mask: %filename%.%ext%",
                                "File Timestamp: current",
                                "Keep Subfolders: 1",
                                "Importing...",
                                "Import complete, new files added: 1",
                                "Converting...",
                                "Processing: " + dir / "a.png",
                                "File Format: PNG",
                                "[OK] Saving As: " + dir / "a.jpg",
                                "Conversion complete",
                                "Files converted: 1 of 1",
                            }));
}

TEST_F(CliTest, DebugListingOfEverySection) {
  WriteFile(dir / "logo.png", ReadFile(dir / "a.png"));
  ProgramResult r = Run({"-i", dir / "a.png", "-d", "--rotation=90", "--rotation-back-color=FF0000", "--width=50",
                         "--height=50", "--width-unit=percent", "--height-unit=percent", "--keep-aspect-ratio",
                         "--resize-algorithm=lanczos", "--flip-vertical", "--brightness=-5", "--contrast=10",
                         "--gamma=1.5", "--greyscale", "--threshold=128", "--dither=bayer16", "--fr-solid-left=3",
                         "--fr-solid-top-color=00FF00", "--wm-image=" + dir / "logo.png", "--wm-image-x-offset=-4",
                         "--file-timestamp=custom", "--file-timestamp-custom=86400", "--no-subfolders",
                         "--filename-mask=%filename%_x.%ext%", "--jpg-chroma=medium", "--jpg-save-as=progressive",
                         "--jpg-quality=80"});
  std::vector<std::string> lines = AfterBanner(r);
  const std::vector<std::string> expected = {
      "Preparing...",
      "Input: " + dir / "a.png",
      "Output: " + dir.path(),
      "Conversion: jpg",
      "JPG BPP: 0",
      "JPG Quality: 80",
      "JPG Chroma Subsampling: medium",
      "JPG Save As: progressive",
      "Image Rotation Type: simple",
      "Image Rotation: 90",
      "Image Rotation Back Color: FF0000",
      "Width: 50 percent",
      "Height: 50 percent",
      "Keep Aspect Ratio: 1",
      "Image Resize Type: allimages",
      "Image Resize Algorithm: lanczos",
      "Flip Horizontal: 0",
      "Flip Vertical: 1",
      "Brightness: -5",
      "Contrast: 10",
      "Gamma: 1.50",
      "Invert: 0",
      "Greyscale: 1",
      "Image Threshold: 128",
      "Image Dithering Algorithm: bayer16",
      "Frame: solid",
      "Frame left: 3",
      "Frame right: 0",
      "Frame top: 0",
      "Frame bottom: 0",
      "Frame left color: 000000",
      "Frame right color: 000000",
      "Frame top color: 00FF00",
      "Frame bottom color: 000000",
      "Frame opacity: 255",
      "Watermark: image",
      "Watermark image: " + dir / "logo.png",
      "Watermark greyscale: 0",
      "Watermark opacity: 255",
      "Watermark boundary: image",
      "Watermark position: bottomright",
      "Watermark offset (x/y): -4/10",
      "Watermark rotation: 0",
      "Watermark size/mode: fixed",
      "Filename Mask: %filename%_x.%ext%",
      "File Timestamp: custom",
      "Custom Timestamp: 86400",
      "Keep Subfolders: 0",
      "Importing...",
  };
  ASSERT_GE(lines.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + expected.size()), expected);
}

TEST_F(CliTest, DebugListingOfATextWatermark) {
  ProgramResult r = Run({"-i", dir / "a.png", "-d", "--wm-text=Hello %width%", "--wm-font-style=bolditalic",
                         "--wm-font-effect=strikethrought", "--wm-text-antialiasing", "--wm-text-alignment=center",
                         "--wm-text-position=topleft", "--wm-back-opacity=0"});
  std::vector<std::string> lines = AfterBanner(r);
  const std::vector<std::string> expected = {
      "Watermark: text",
      "Watermark text: Hello %width%",
      "Watermark font: Arial",
      "Watermark font size: 14",
      "Watermark font leading: 0",
      "Watermark font color: FFFFFF",
      "Watermark font style: bolditalic",
      "Watermark font effect: strikethrought",
      "Watermark text antialiasing: 1",
      "Watermark text alignment: center",
      "Watermark text padding: 0",
      "Watermark text opacity: 255",
      "Watermark background color: 000000",
      "Watermark background opacity: 0",
      "Watermark boundary: image",
      "Watermark position: topleft",
      "Watermark offset (x/y): 10/10",
      "Watermark rotation: 0",
      "Watermark size/mode: fixed",
      "Filename Mask: %filename%.%ext%",
  };
  auto start = std::find(lines.begin(), lines.end(), "Watermark: text");
  ASSERT_NE(start, lines.end());
  ASSERT_GE(size_t(lines.end() - start), expected.size());
  EXPECT_EQ(std::vector<std::string>(start, start + expected.size()), expected);
  EXPECT_EQ(r.exitCode, 0);
}

TEST_F(CliTest, QuietRunsPrintNothingButFailures) {
  ProgramResult ok = Run({"-q", "-i", dir / "a.png"});
  EXPECT_EQ(ok.exitCode, 0);
  EXPECT_EQ(ok.out, "");
  WriteFile(dir / "bad.png", "not a picture");
  ProgramResult bad = Run({"-q", "-i", dir / "bad.png"});
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_EQ(bad.lines(), std::vector<std::string>{"Conversion stopped"});
  EXPECT_EQ(bad.err, dir / "bad.png" + ": not a PNG file\n");
  ProgramResult error = Run({"-q", "-i", dir / "missing.png"});
  EXPECT_EQ(error.lines(), std::vector<std::string>{"Error: Invalid input file"});
}

TEST_F(CliTest, PauseEndsWithAPromptButNotAfterAnError) {
  // Standard input is no terminal here, so the wait returns at once.
  ProgramResult r = Run({"-p", "-q", "-i", dir / "a.png"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.lines(), std::vector<std::string>{"Press any key to exit."});
  ProgramResult e = Run({"-p", "-i"});
  EXPECT_EQ(e.exitCode, 2);
  EXPECT_EQ(e.lines(), std::vector<std::string>{"Error: Incorrect number of parameters"});
}

}  // namespace
}  // namespace rastello::test

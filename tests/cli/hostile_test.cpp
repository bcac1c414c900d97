// Hostile runs: damaged and disguised inputs, awkward paths, folders and disks that refuse the
// output, names the file system cannot hold, runs that race for one name. Each run must end
// with its exit code and exact lines, leave only what it should in the output folder, and
// never harm a file that was there before. Then the fuzz corpora and reproducers, replayed.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <future>

#include "cli_fixture.h"
#include "fuzz/targets.h"

namespace rastello::fuzz {
void PrintTo(const NamedTarget& target, std::ostream* os) { *os << target.name; }
}  // namespace rastello::fuzz

namespace rastello::test {
namespace {

using Lines = std::vector<std::string>;

const Lines kConverted = {"Preparing...", "Importing...", "Import complete, new files added: 1", "Converting...",
                          "Conversion complete", "Files converted: 1 of 1"};
const Lines kStopped = {"Preparing...", "Importing...", "Import complete, new files added: 1", "Converting...",
                        "Conversion stopped"};
const Lines kNotQueued = {"Preparing...", "Importing...", "Import complete, new files added: 0", "Conversion stopped",
                          "No input file(s) found. Please, add valid file(s) and try again!"};
const Lines kInvalidInput = {"Preparing...", "Error: Invalid input file"};

Lines WithBanner(const Lines& lines) {
  Lines all = kBanner;
  all.insert(all.end(), lines.begin(), lines.end());
  return all;
}

const std::string kPrevious = "the output of an earlier run";
constexpr uid_t kNobody = 65534;

// A folder with in/ for the inputs, out/ for the outputs and run/ for the instance lock.
class Scene {
 public:
  Scene() {
    for (const char* sub : {"in", "out", "run"}) ::mkdir((dir / sub).c_str(), 0755);
    options.workingDir = dir.path();
    options.env["XDG_RUNTIME_DIR"] = dir / "run";
  }
  std::string In(const std::string& name) const { return dir / ("in/" + name); }
  std::string Out(const std::string& name = "") const { return dir / ("out/" + name); }

  std::string Photo(const std::string& name, int width = 64, int height = 48) const {
    SavePng(MakeRgb(width, height, [=](int x, int y) { return Gradient(x, y, width, height); }).get(), In(name));
    return In(name);
  }
  std::string PhotoBytes(int width = 64, int height = 48) const {
    std::string path = Photo(".bytes.png", width, height);
    std::string bytes = ReadFile(path);
    ::unlink(path.c_str());
    return bytes;
  }
  // An earlier output the run must not destroy.
  void Previous(const std::string& name) const { WriteFile(Out(name), kPrevious); }

  // Runs the program as nobody when the test runs as root, who could read and write anything.
  // Everything in the scene becomes nobody's; tests adjust the modes after.
  void AsNobody() {
    bool root = ::geteuid() == 0;
    if (root) options.wrapper = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path())) {
      ::chmod(entry.path().c_str(), entry.is_directory() ? 0755 : 0644);
      if (root && ::chown(entry.path().c_str(), kNobody, kNobody) != 0) ADD_FAILURE() << "chown " << entry.path();
    }
    ::chmod(dir.path().c_str(), 0755);
  }

  TempDir dir;
  ProgramOptions options;
};

// A PNG of `width` x `height` whose pixel data is a few bytes: the header is all there is.
std::string PngClaiming(uint32_t width, uint32_t height) {
  std::string png("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
  for (uint32_t v : {width, height})
    for (int shift = 24; shift >= 0; shift -= 8) png += char(v >> shift);
  png += std::string("\x08\x02\0\0\0", 5) + "CRC!";
  png += std::string("\0\0\0\x04IDAT\x78\x9c\x03\0CRC!\0\0\0\0IEND\xae\x42\x60\x82", 28);
  return png;
}

// Offset of the first chunk of that type in a PNG.
size_t ChunkAt(const std::string& png, const char* type) {
  size_t at = png.find(type);
  EXPECT_NE(at, std::string::npos) << type;
  return at - 4;
}

const std::string kOddFolder = "d\xC3\xA9j\xC3\xA0 'vu' 100%";
const std::string kOddOutput = "\"sortie\" 50% \xC3\xA9t\xC3\xA9";
const std::string kOddName = "my \"best\" 10% caf\xC3\xA9";

struct HostileCase {
  std::string id;
  // Makes the files in the scene and returns the arguments.
  std::function<Lines(Scene&)> setup;
  int exitCode;
  Lines out;  // standard output, line by line
  // Standard error: none when null, else one line "<input>: <reason>" with this in the reason.
  const char* reason;
  std::string input;           // the path printed before the reason, relative to the scene
  std::string folder;          // the output folder, relative to the scene
  Lines left;                  // what the output folder holds afterwards
  std::string previous = "";   // a file there that must keep its bytes
  std::string converted = "";  // a file there that must be a JPEG
};

void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.id; }

std::vector<HostileCase> HostileCases() {
  std::vector<HostileCase> cases = {
      {"TruncatedPng",
       [](Scene& s) {
         std::string png = s.PhotoBytes();
         WriteFile(s.In("cut.png"), png.substr(0, png.size() * 2 / 3));
         s.Previous("cut.jpg");
         return Lines{"-i", "in/cut.png", "-o", "out"};
       },
       1, WithBanner(kStopped), "cannot decode the PNG data: the file is cut short", "in/cut.png", "out",
       {"cut.jpg"}, "cut.jpg"},
      {"BadCrc",
       [](Scene& s) {
         std::string png = s.PhotoBytes();
         size_t idat = ChunkAt(png, "IDAT");
         uint32_t length = uint32_t(uint8_t(png[idat])) << 24 | uint32_t(uint8_t(png[idat + 1])) << 16 |
                           uint32_t(uint8_t(png[idat + 2])) << 8 | uint8_t(png[idat + 3]);
         png[idat + 8 + length] ^= 0x55;  // first byte of the chunk's CRC
         WriteFile(s.In("crc.png"), png);
         s.Previous("crc.jpg");
         return Lines{"-i", "in/crc.png", "-o", "out"};
       },
       1, WithBanner(kStopped), "CRC error", "in/crc.png", "out", {"crc.jpg"}, "crc.jpg"},
      {"EmptyFile",
       [](Scene& s) {
         WriteFile(s.In("empty.png"), "");
         s.Previous("empty.jpg");
         return Lines{"-i", "in/empty.png", "-o", "out"};
       },
       1, WithBanner(kInvalidInput), nullptr, "", "out", {"empty.jpg"}, "empty.jpg"},
      {"FolderAsInput",
       [](Scene& s) {
         ::mkdir(s.In("folder.png").c_str(), 0755);
         return Lines{"-i", "in/folder.png", "-o", "out"};
       },
       1, WithBanner(kInvalidInput), nullptr, "", "out", {}},
      {"UnreadableFile",
       [](Scene& s) {
         s.Photo("secret.png");
         s.Previous("secret.jpg");
         s.AsNobody();
         ::chmod(s.In("secret.png").c_str(), 0);
         return Lines{"-i", "in/secret.png", "-o", "out"};
       },
       1, WithBanner(kStopped), "cannot open the file: Permission denied", "in/secret.png", "out", {"secret.jpg"},
       "secret.jpg"},
      // Its output name would be the input itself; the input is not even queued.
      {"PngNamedJpg",
       [](Scene& s) {
         WriteFile(s.In("photo.jpg"), s.PhotoBytes());
         return Lines{"-i", "in/photo.jpg"};
       },
       1, WithBanner(kNotQueued), nullptr, "", "in", {"photo.jpg"}, "photo.jpg"},
      {"JpegNamedPng",
       [](Scene& s) {
         Bitmap rgb = MakeRgb(32, 24, [](int x, int y) { return Gradient(x, y, 32, 24); });
         if (!FreeImage_Save(FIF_JPEG, rgb.get(), s.In("photo.png").c_str(), 90)) ADD_FAILURE() << "jpeg";
         s.Previous("photo.jpg");
         return Lines{"-i", "in/photo.png", "-o", "out"};
       },
       1, WithBanner(kStopped), "not a PNG file", "in/photo.png", "out", {"photo.jpg"}, "photo.jpg"},
      {"BeyondTheSizeLimit",
       [](Scene& s) {
         WriteFile(s.In("huge.png"), PngClaiming(100000, 100000));
         s.Previous("huge.jpg");
         return Lines{"-i", "in/huge.png", "-o", "out"};
       },
       1, WithBanner(kStopped),
       "image too large: 100000 x 100000 pixels (the limit is 500 megapixels and 65500 pixels a side)",
       "in/huge.png", "out", {"huge.jpg"}, "huge.jpg"},
      // Within the limits, but 200 bytes cannot hold 400 megapixels: refused before the
      // decoder allocates 1.2 GB for them.
      {"TooShortForItsSize",
       [](Scene& s) {
         WriteFile(s.In("bomb.png"), PngClaiming(20000, 20000));
         return Lines{"-i", "in/bomb.png", "-o", "out"};
       },
       1, WithBanner(kStopped), "cannot decode the PNG data: the file is too short for 20000 x 20000 pixels",
       "in/bomb.png", "out", {}},
      // A text chunk that claims 2 GB: refused before the decoder sets memory aside for it.
      {"ChunkLongerThanTheFile",
       [](Scene& s) {
         std::string png = s.PhotoBytes();
         png.insert(ChunkAt(png, "IDAT"), std::string("\x7f\xf0\0\0tEXtkey\0value", 17));
         WriteFile(s.In("chunk.png"), png);
         return Lines{"-i", "in/chunk.png", "-o", "out"};
       },
       1, WithBanner(kStopped), "cannot decode the PNG data: the file is cut short",
       "in/chunk.png", "out", {}},
      // Printed and written exactly as given; "{dir}" stands for the scene's folder.
      {"BlanksQuotesPercentAndAccents",
       [](Scene& s) {
         ::mkdir(s.In(kOddFolder).c_str(), 0755);
         ::mkdir(s.Out(kOddOutput).c_str(), 0755);
         s.Photo(kOddFolder + "/" + kOddName + ".png");
         return Lines{"-d", "-i", "in/" + kOddFolder + "/" + kOddName + ".png", "-o", "out/" + kOddOutput};
       },
       0,
       WithBanner({"Preparing...", "Input: in/" + kOddFolder + "/" + kOddName + ".png", "Output: out/" + kOddOutput,
                   "Conversion: jpg", "JPG BPP: 0", "JPG Quality: 95", "JPG Chroma Subsampling: none",
                   "JPG Save As: standard", "Flip Horizontal: 0", "Flip Vertical: 0", "Greyscale: 0", "Frame: none",
                   "Watermark: none", "Filename Mask: %filename%.%ext%", "File Timestamp: current",
                   "Keep Subfolders: 1", "Importing...", "Import complete, new files added: 1", "Converting...",
                   "Processing: in/" + kOddFolder + "/" + kOddName + ".png", "File Format: PNG",
                   "[OK] Saving As: {dir}out/" + kOddOutput + "/" + kOddName + ".jpg", "Conversion complete",
                   "Files converted: 1 of 1"}),
       nullptr, "", "out/" + kOddOutput, {kOddName + ".jpg"}, "", kOddName + ".jpg"},
      // Bytes that are no UTF-8 keep their value through the case tokens: "\xC0\xAF" once
      // came out as "/", and the file was written beside the output folder.
      {"NameThatIsNoUtf8",
       [](Scene& s) {
         s.Photo("\xC0\xAE\xC0\xAE\xC0\xAFup.png");
         return Lines{"-q", "-i", "in/\xC0\xAE\xC0\xAE\xC0\xAFup.png", "-o", "out",
                      "--filename-mask=%filename[l]%.%ext%"};
       },
       0, {}, nullptr, "", "out", {"\xC0\xAE\xC0\xAE\xC0\xAFup.jpg"}, "", "\xC0\xAE\xC0\xAE\xC0\xAFup.jpg"},
      {"OutputFolderWithoutWritePermission",
       [](Scene& s) {
         s.Photo("a.png");
         s.Previous("a.jpg");
         s.AsNobody();
         ::chmod(s.Out().c_str(), 0555);
         s.options.env["XDG_RUNTIME_DIR"] = s.Out();  // no lock file can be made there either
         return Lines{"-i", "in/a.png", "-o", "out"};
       },
       1, WithBanner(kStopped), "cannot create a file in the output folder: Permission denied", "in/a.png", "out",
       {"a.jpg"}, "a.jpg"},
      // A rename could replace it; a plain write could not, and neither may we.
      {"ReadOnlyEarlierOutput",
       [](Scene& s) {
         s.Photo("a.png");
         s.Previous("a.jpg");
         s.AsNobody();
         ::chmod(s.Out("a.jpg").c_str(), 0444);
         return Lines{"-i", "in/a.png", "-o", "out"};
       },
       1, WithBanner(kStopped), "cannot replace the output file: Permission denied", "in/a.png", "out", {"a.jpg"},
       "a.jpg"},
      {"OutputNameTakenByAFolder",
       [](Scene& s) {
         s.Photo("a.png");
         ::mkdir(s.Out("a.jpg").c_str(), 0755);
         return Lines{"-i", "in/a.png", "-o", "out"};
       },
       1, WithBanner(kStopped), "cannot replace the output file: Is a directory", "in/a.png", "out", {"a.jpg"}},
      // A file-size limit fails the write the way a full disk does.
      {"DiskFullDuringTheSave",
       [](Scene& s) {
         s.Photo("big.png", 200, 150);
         s.Previous("big.jpg");
         s.options.wrapper = {"/bin/sh", "-c", "ulimit -f 2 && exec \"$0\" \"$@\""};
         return Lines{"-i", "in/big.png", "-o", "out"};
       },
       1, WithBanner(kStopped), "cannot write the output file: File too large", "in/big.png", "out", {"big.jpg"},
       "big.jpg"},
      {"NameTooLongForTheFileSystem",
       [](Scene& s) {
         s.Photo("a.png");
         s.Previous("a.jpg");
         return Lines{"-i", "in/a.png", "-o", "out", "--filename-mask=" + std::string(300, 'n') + ".%ext%"};
       },
       1, WithBanner(kStopped), "File name too long", "in/a.png", "out", {"a.jpg"}, "a.jpg"},
      // Opening a named pipe would wait for a writer forever.
      {"ProfileThatIsANamedPipe",
       [](Scene& s) {
         s.Photo("a.png");
         ::mkfifo(s.In("pipe.ini").c_str(), 0644);
         s.options.timeoutSeconds = 10;
         return Lines{"-i", "in/a.png", "-o", "out", "--profile=in/pipe.ini"};
       },
       2, {"Error: Invalid profile file"}, nullptr, "", "out", {}},
  };

  // The damaged files of the PNG suite.
  for (const std::string& name : ListFolder(RASTELLO_PNGSUITE)) {
    if (name[0] != 'x') continue;
    std::string stem = name.substr(0, name.size() - 4);
    cases.push_back({"Suite_" + stem,
                     [name, stem](Scene& s) {
                       WriteFile(s.In(name), ReadFile(std::string(RASTELLO_PNGSUITE) + "/" + name));
                       s.Previous(stem + ".jpg");
                       return Lines{"-i", "in/" + name, "-o", "out"};
                     },
                     1, WithBanner(kStopped), "", "in/" + name, "out", {stem + ".jpg"}, stem + ".jpg"});
  }
  return cases;
}

class HostileRun : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileRun, EndsAsDocumentedAndHarmsNoFile) {
  const HostileCase& c = GetParam();
  Scene scene;
  Lines args = c.setup(scene);
  std::string folder = scene.dir / c.folder + "/";
  std::string previous = c.previous.empty() ? "" : ReadFile(folder + c.previous);

  ProgramResult r = RunRastello(args, scene.options);
  EXPECT_EQ(r.exitCode, c.exitCode) << r.out << r.err;
  Lines expected = c.out;
  for (std::string& line : expected)
    if (size_t at = line.find("{dir}"); at != std::string::npos) line.replace(at, 5, scene.dir.path());
  EXPECT_EQ(r.lines(), expected);
  if (c.reason == nullptr) {
    EXPECT_EQ(r.err, "");
  } else {
    std::string start = c.input + ": ";
    EXPECT_EQ(r.err.rfind(start, 0), 0u) << r.err;
    EXPECT_NE(r.err.find(c.reason, start.size()), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line: " << r.err;
  }
  // Nothing else: no partial output, no temporary file, nothing written beside the folder.
  EXPECT_EQ(ListFolder(folder), c.left);
  EXPECT_EQ(ListFolder(scene.dir.path()), (Lines{"in", "out", "run"}));
  if (!c.previous.empty()) {
    EXPECT_EQ(ReadFile(folder + c.previous), previous);
  }
  if (!c.converted.empty()) {
    EXPECT_TRUE(LoadAny(folder + c.converted)) << c.converted;
  }
}

INSTANTIATE_TEST_SUITE_P(Table, HostileRun, ::testing::ValuesIn(HostileCases()),
                         [](const ::testing::TestParamInfo<HostileCase>& p) { return p.param.id; });

// Runs that write the same name at once each replace the file whole: whichever rename comes
// last wins, and no run fails or leaves its temporary file.
TEST(HostileRace, RunsWritingTheSameNameAtOnce) {
  Scene scene;
  scene.Photo("small.png", 40, 30);
  scene.Photo("large.png", 600, 400);
  for (int round = 0; round < 3; ++round) {
    std::vector<std::future<ProgramResult>> runs;
    for (int i = 0; i < 6; ++i)
      runs.push_back(std::async(std::launch::async, [&scene, i] {
        return RunRastello({"-i", i % 2 ? "in/small.png" : "in/large.png", "-o", "out", "--filename-mask=same.jpg"},
                           scene.options);
      }));
    for (auto& run : runs) {
      ProgramResult r = run.get();
      EXPECT_EQ(r.exitCode, 0) << r.err;
      EXPECT_EQ(r.lines(), WithBanner(kConverted));
    }
    // One whole JPEG of one of the two pictures.
    ASSERT_EQ(ListFolder(scene.Out()), Lines{"same.jpg"});
    std::string bytes = ReadFile(scene.Out("same.jpg"));
    ASSERT_GT(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\xFF\xD9");
    Bitmap jpeg = LoadAny(scene.Out("same.jpg"));
    ASSERT_TRUE(jpeg);
    unsigned width = FreeImage_GetWidth(jpeg.get());
    EXPECT_TRUE(width == 40 || width == 600) << width;
  }
}

// ---------------------------------------------------------------------------------------------
// The fuzz targets over their saved corpora and the reproducers of past findings.

std::string FuzzFolder() { return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "fuzz"; }

class FuzzReplay : public ::testing::TestWithParam<fuzz::NamedTarget> {};

TEST_P(FuzzReplay, EveryInputKeepsItsProperties) {
  const fuzz::NamedTarget& target = GetParam();
  for (const char* kind : {"corpus", "regressions"}) {
    std::string folder = FuzzFolder() + "/" + kind + "/" + target.name + "/";
    for (const std::string& name : ListFolder(folder)) {
      std::string bytes = ReadFile(folder + name);
      EXPECT_EQ(target.run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), "") << kind << "/" << name;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplay, ::testing::ValuesIn(fuzz::Targets()),
                         [](const ::testing::TestParamInfo<fuzz::NamedTarget>& p) {
                           return std::string(p.param.name);
                         });

}  // namespace
}  // namespace rastello::test

// The checks of a command-line run: each failing value gives its one error line and code.
#include <sys/stat.h>

#include "cli_fixture.h"

namespace rastello::test {
namespace {

struct CheckCase {
  const char* name;
  std::vector<std::string> args;  // "@" stands for the test folder
  std::vector<std::string> lines;  // after the banner
  int exitCode;
};

std::vector<std::string> WithFolder(const std::vector<std::string>& args, const std::string& folder) {
  std::vector<std::string> out;
  for (std::string a : args) {
    for (size_t at = a.find('@'); at != std::string::npos; at = a.find('@', at + folder.size()))
      a.replace(at, 1, folder);
    out.push_back(a);
  }
  return out;
}

TEST_F(CliTest, EachCheckStopsTheRunWithItsLine) {
  WriteFile(dir / "empty.png", "");
  WriteFile(dir / "noext", ReadFile(dir / "a.png"));
  ::mkdir((dir / "folder.png").c_str(), 0755);
  const std::vector<std::string> start = {"Preparing..."};
  auto after = [&](const char* error) {
    std::vector<std::string> v = start;
    v.push_back(error);
    return v;
  };
  const CheckCase cases[] = {
      {"no extension", {"-i", "@noext"}, after("Error: Invalid input file"), 1},
      {"input folder", {"-i", "@folder.png"}, after("Error: Invalid input file"), 1},
      {"missing input", {"-i", "@missing.png"}, after("Error: Invalid input file"), 1},
      {"empty input", {"-i", "@empty.png"}, after("Error: Invalid input file"), 1},
      {"parent output", {"-i", "@a.png", "-o", "../out"}, after("Error: Incorrect output folder"), 1},
      {"missing output", {"-i", "@a.png", "-o", "@nowhere"}, after("Error: Invalid output folder"), 1},
      {"upper-case conversion", {"-i", "@a.png", "-c", "JPG"}, after("Error: Invalid conversion type"), 1},
      {"other conversion", {"-i", "@a.png", "-c", "png"}, after("Error: Invalid conversion type"), 1},
      {"jpg bpp 32", {"-i", "@a.png", "--jpg-bpp=32"}, after("Error: Invalid jpg-bpp value"), 1},
      {"quality 0", {"-i", "@a.png", "--jpg-quality=0"}, after("Error: Invalid jpg-quality value"), 1},
      {"quality 101", {"-i", "@a.png", "--jpg-quality=101"}, after("Error: Invalid jpg-quality value"), 1},
      {"width without height", {"-i", "@a.png", "--width=800"}, after("Error: Invalid height value"), 1},
      {"height without width", {"-i", "@a.png", "--height=800"}, after("Error: Invalid width value"), 1},
      {"brightness 101", {"-i", "@a.png", "--brightness=101"}, after("Error: Invalid brightness value"), 1},
      {"contrast -101", {"-i", "@a.png", "--contrast=-101"}, after("Error: Invalid contrast value"), 1},
      {"gamma 0.005", {"-i", "@a.png", "--gamma=0.005"}, after("Error: Invalid gamma value"), 1},
      {"gamma 10", {"-i", "@a.png", "--gamma=10"}, after("Error: Invalid gamma value"), 1},
      {"gamma no number", {"-i", "@a.png", "--gamma=abc"}, after("Error: Invalid gamma value"), 1},
      {"gamma NaN", {"-i", "@a.png", "--gamma=NaN"}, after("Error: Invalid gamma value"), 1},
      {"made-up font", {"-i", "@a.png", "--wm-text=x", "--wm-font=No Such Family 42"},
       after("Error: Invalid watermark font"), 1},
      {"missing watermark image", {"-i", "@a.png", "--wm-image=@missing.png"},
       after("Error: Invalid watermark image"), 1},
      {"incomplete option", {"-i", "@a.png", "--jpg-quality="}, {"Error: Incorrect number of parameters"}, 2},
      {"missing profile", {"-i", "@a.png", "--profile=@missing.ini"}, {"Error: Invalid profile file"}, 2},
  };
  for (const CheckCase& c : cases) {
    SCOPED_TRACE(c.name);
    ProgramResult r = Run(WithFolder(c.args, dir.path()));
    EXPECT_EQ(r.exitCode, c.exitCode);
    if (c.exitCode == 2)
      EXPECT_EQ(r.lines(), c.lines);  // a parse error comes before the banner
    else
      EXPECT_EQ(AfterBanner(r), c.lines);
  }
  EXPECT_FALSE(Exists(dir / "a.jpg"));
}

TEST_F(CliTest, LimitValuesPass) {
  const std::vector<std::vector<std::string>> passing = {
      {"--jpg-quality=1"},   {"--jpg-quality=100"}, {"--jpg-bpp=8"},    {"--jpg-bpp=24"},
      {"--brightness=-100"}, {"--brightness=100"},  {"--gamma=0.01"},   {"--gamma=9.99"},
      {"--invert"},          {"--wm-text=Sample"},  {"--wm-font=arial", "--wm-text=x"},
  };
  for (const auto& extra : passing) {
    SCOPED_TRACE(extra[0]);
    std::vector<std::string> args = {"-q", "-i", dir / "a.png"};
    args.insert(args.end(), extra.begin(), extra.end());
    ProgramResult r = Run(args);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
  }
}

TEST_F(CliTest, AGammaErrorFollowsTheListingAboveIt) {
  ProgramResult r = Run({"-d", "-i", dir / "a.png", "--gamma=10"});
  std::vector<std::string> lines = AfterBanner(r);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(lines.end() - 4, lines.end()),
            (std::vector<std::string>{"Brightness: 0", "Contrast: 0", "Gamma: 10.00", "Error: Invalid gamma value"}));
  EXPECT_EQ(lines[1], "Input: " + dir / "a.png");
}

TEST_F(CliTest, FilesThatAreNotQueued) {
  WriteFile(dir / "list.txt", dir / "a.png\n");
  WriteFile(dir / "photo.bmp", "BM fake");
  for (const char* name : {"list.txt", "photo.bmp"}) {
    SCOPED_TRACE(name);
    ProgramResult r = Run({"-q", "-i", dir / name});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.lines(), (std::vector<std::string>{
                             "Conversion stopped", "No input file(s) found. Please, add valid file(s) and try again!"}));
    ProgramResult loud = Run({"-i", dir / name});
    std::vector<std::string> lines = AfterBanner(loud);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[2], "Import complete, new files added: 0");
  }
}

TEST_F(CliTest, RelativeFoldersAreTakenFromTheCurrentFolder) {
  ::mkdir((dir / "out").c_str(), 0755);
  ::mkdir((dir / "sub").c_str(), 0755);
  // A bare input name: the output lands beside it, in the current folder.
  ProgramResult bare = Run({"-d", "-i", "a.png"});
  EXPECT_EQ(bare.exitCode, 0);
  EXPECT_TRUE(Exists(dir / "a.jpg"));
  std::vector<std::string> lines = AfterBanner(bare);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "[OK] Saving As: " + dir / "a.jpg"), lines.end());
  for (const char* out : {"out", "./out", "out/"}) {
    SCOPED_TRACE(out);
    ::unlink((dir / "out/a.jpg").c_str());
    EXPECT_EQ(Run({"-q", "-i", "a.png", "-o", out}).exitCode, 0);
    EXPECT_TRUE(Exists(dir / "out/a.jpg"));
  }
  // Run from another folder with a relative input.
  ProgramOptions inSub;
  inSub.workingDir = dir / "sub";
  EXPECT_EQ(Run({"-q", "-i", "../a.png", "-o", dir / "out"}, inSub).exitCode, 0);
  // The missing folder is not created.
  EXPECT_EQ(Run({"-q", "-i", "a.png", "-o", "new"}).exitCode, 1);
  EXPECT_FALSE(Exists(dir / "new"));
}

}  // namespace
}  // namespace rastello::test

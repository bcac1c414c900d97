// Runs side by side, the lock that keeps the window single, and what the program links.
// Runs that go wrong are the table in hostile_test.cpp.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <future>

#include "cli_fixture.h"

namespace rastello::test {
namespace {

TEST_F(CliTest, ConversionsRunSideBySide) {
  SavePng(MakeRgb(300, 200, [](int x, int y) { return Gradient(x, y, 300, 200); }).get(), dir / "b.png");
  std::vector<std::future<ProgramResult>> runs;
  for (int i = 0; i < 4; ++i)
    runs.push_back(std::async(std::launch::async, [this, i] {
      return Run({"-q", "-i", dir / (i % 2 ? "a.png" : "b.png"), "--filename-mask=%filename%_" + std::to_string(i)});
    }));
  for (auto& run : runs) {
    ProgramResult r = run.get();
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  }
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(Exists(dir / ((i % 2 ? "a_" : "b_") + std::to_string(i)))) << i;
}

// Holds the instance lock the way another process would.
class HeldLock {
 public:
  HeldLock(const std::string& runtimeDir, int operation) {
    fd_ = ::open((runtimeDir + "Tessaly PNG to JPG 3.3.lock").c_str(), O_RDONLY | O_CREAT, 0644);
    EXPECT_GE(fd_, 0);
    EXPECT_EQ(::flock(fd_, operation | LOCK_NB), 0);
  }
  ~HeldLock() { ::close(fd_); }

 private:
  int fd_;
};

TEST_F(CliTest, TheWindowAndConversionsExcludeEachOther) {
  TempDir runtime;
  ProgramOptions options;
  options.env["XDG_RUNTIME_DIR"] = runtime.path();
  {
    HeldLock window(runtime.path(), LOCK_EX);
    ProgramResult r = Run({"-i", dir / "a.png"}, options);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.lines(), std::vector<std::string>{"Error: Another instance of Tessaly PNG to JPG is running"});
    EXPECT_FALSE(Exists(dir / "a.jpg"));
    // A second window start ends silently.
    ProgramResult second = Run({}, options);
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_EQ(second.out + second.err, "");
  }
  {
    HeldLock conversion(runtime.path(), LOCK_SH);
    EXPECT_EQ(Run({"-q", "-i", dir / "a.png"}, options).exitCode, 0);
    ProgramResult window = Run({}, options);
    EXPECT_EQ(window.exitCode, 0);
    EXPECT_EQ(window.out + window.err, "");
  }
}

TEST_F(CliTest, WindowModesNeedTheWindowModule) {
  TempDir runtime;
  ProgramOptions options;
  options.env["XDG_RUNTIME_DIR"] = runtime.path();
  for (std::vector<std::string> args : {std::vector<std::string>{}, {"--quiet"}, {"-o", "/tmp"}, {"-U"}, {"-T", "/tmp"}}) {
    ProgramResult r = Run(args, options);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "Error: window mode is not available in this build\n");
  }
}

TEST(Program, LinksNoWindowImageOrDrawingLibrary) {
  FILE* pipe = ::popen((std::string("ldd '") + RASTELLO_EXE + "'").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string libraries;
  char buf[512];
  while (size_t n = std::fread(buf, 1, sizeof buf, pipe)) libraries.append(buf, n);
  ::pclose(pipe);
  EXPECT_NE(libraries.find("libpng"), std::string::npos);
  EXPECT_EQ(libraries.find("libwx"), std::string::npos) << libraries;
  EXPECT_EQ(libraries.find("libgtk"), std::string::npos) << libraries;
  // FreeImage and the drawing come in a module that only the runs needing them load.
  EXPECT_EQ(libraries.find("libfreeimage"), std::string::npos) << libraries;
  EXPECT_EQ(libraries.find("libpango"), std::string::npos) << libraries;
  EXPECT_EQ(libraries.find("libcairo"), std::string::npos) << libraries;
  EXPECT_EQ(libraries.find("libfontconfig"), std::string::npos) << libraries;
}

TEST_F(CliTest, WithoutTheBitmapModuleOnlyBitmapRunsFail) {
  // A copy of the program in a folder of its own, with no module beside it.
  ::mkdir((dir / "bin").c_str(), 0755);
  WriteFile(dir / "bin/rastello", ReadFile(RASTELLO_EXE));
  ::chmod((dir / "bin/rastello").c_str(), 0755);
  std::string command = "'" + dir / "bin/rastello" + "' -q -i '" + dir / "a.png" + "'";
  auto run = [&](const std::string& extra) {
    FILE* pipe = ::popen((command + extra + " 2>&1").c_str(), "r");
    std::string output;
    char buf[512];
    while (size_t n = std::fread(buf, 1, sizeof buf, pipe)) output.append(buf, n);
    return std::make_pair(WEXITSTATUS(::pclose(pipe)), output);
  };
  // A plain conversion streams without the module; a frame needs it.
  auto plain = run("");
  EXPECT_EQ(plain.first, 0) << plain.second;
  EXPECT_EQ(plain.second, "");
  ::unlink((dir / "a.jpg").c_str());
  auto framed = run(" --fr-solid-left=4");
  EXPECT_EQ(framed.first, 1);
  EXPECT_NE(framed.second.find(dir / "a.png" + ": cannot load the bitmap module"), std::string::npos)
      << framed.second;
  EXPECT_NE(framed.second.find("Conversion stopped"), std::string::npos) << framed.second;
  EXPECT_FALSE(Exists(dir / "a.jpg"));
}

}  // namespace
}  // namespace rastello::test

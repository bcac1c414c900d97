#pragma once
// Shared set-up of the command-line tests: a temporary folder with a small PNG in it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/images.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace rastello::test {

inline const std::vector<std::string> kBanner = {
    "Tessaly PNG to JPG 3.3",
    "(c) 2026 Tessaly Software. All rights reserved.",
    "https://www.tessaly.example/",
    " ",
};

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SavePng(MakeRgba(40, 30, [](int x, int y) { return Gradient(x, y, 40, 30); }).get(), dir / "a.png");
  }
  ProgramResult Run(const std::vector<std::string>& args, ProgramOptions options = {}) {
    if (options.workingDir.empty()) options.workingDir = dir.path();
    return RunRastello(args, options);
  }
  // Standard output without the banner, which every run but a quiet one begins with.
  static std::vector<std::string> AfterBanner(const ProgramResult& r) {
    std::vector<std::string> lines = r.lines();
    EXPECT_GE(lines.size(), kBanner.size());
    if (lines.size() < kBanner.size()) return lines;
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + kBanner.size()), kBanner);
    return std::vector<std::string>(lines.begin() + kBanner.size(), lines.end());
  }

  TempDir dir;
};

}  // namespace rastello::test

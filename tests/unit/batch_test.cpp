#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <memory>
#include <thread>

#include "engine/batch.h"
#include "engine/formats.h"
#include "engine/session.h"
#include "platform/files.h"
#include "support/images.h"
#include "support/temp_dir.h"

namespace rastello {
namespace {

// What a stand-in converter saw while the runner worked.
struct Seen {
  std::vector<std::string> files;
  std::vector<int64_t> publishedDurations;
  std::vector<int32_t> counters;
};
Seen* seen = nullptr;
std::string failing;    // the stand-in fails for this file
int sleepMs = 0;        // and takes this long for the others

bool FakeConvert(Session& s) {
  {
    std::lock_guard<std::mutex> lock(s.progress.Lock);
    seen->publishedDurations.push_back(s.progress.LastDurationMs);
  }
  seen->files.push_back(s.state.InputPath);
  seen->counters.push_back(s.state.FileCounter);
  if (s.state.InputPath == failing) return false;
  if (sleepMs) std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs));
  s.state.OutputPath = s.state.InputPath + ".jpg";
  return true;
}

class RunBatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    seen = &record;
    failing.clear();
    sleepMs = 0;
    ResetSettings(session->settings, true);
    ResetRunState(*session);
    session->state.CommandLineMode = true;
    session->state.Mode = "DEBUG";
    session->state.Running = true;
    session->print = [this](std::string_view line) { lines.emplace_back(line); };
  }
  void Queue(const std::vector<std::string>& files) {
    for (const auto& f : files) session->queue[f] = QueueEntry{1, ""};
  }

  std::unique_ptr<Session> session = std::make_unique<Session>();
  Seen record;
  std::vector<std::string> lines;
};

TEST_F(RunBatchTest, AFailedFileInTheMiddleCountsForNothing) {
  Queue({"a.png", "b.png", "c.png"});
  // The queue yields its own order; fail whichever file comes second.
  auto order = session->queue.begin();
  ++order;
  failing = order->first;
  RunBatch(*session, FakeConvert);

  EXPECT_EQ(session->progress.FilesConverted, 2);
  EXPECT_EQ(session->state.FileCounter, 3);
  ASSERT_EQ(record.files.size(), 3u);
  EXPECT_EQ(record.counters, (std::vector<int32_t>{1, 2, 2}));  // the failure used no number
  EXPECT_EQ(record.publishedDurations, (std::vector<int64_t>{0, 1000, 0}));
  EXPECT_EQ(session->progress.CurrentIndex, 3);
  EXPECT_EQ(session->progress.CurrentFile, record.files[2]);

  std::vector<std::string> expected;
  for (const std::string& f : record.files) {
    expected.push_back("Processing: " + f);
    expected.push_back("File Format: [ERROR] UNRECOGNIZED");
    expected.push_back(f == failing ? "[ERROR] Unable to convert the file!" : "[OK] Saving As: " + f + ".jpg");
  }
  EXPECT_EQ(lines, expected);
}

TEST_F(RunBatchTest, SlowFilesPublishTheirRealDuration) {
  Queue({"a.png", "b.png"});
  sleepMs = 1100;
  RunBatch(*session, FakeConvert);
  ASSERT_EQ(record.publishedDurations.size(), 2u);
  EXPECT_GE(record.publishedDurations[1], 1100);
  EXPECT_LT(record.publishedDurations[1], 5000);
}

TEST_F(RunBatchTest, NothingRunsWhenStoppedOrEmpty) {
  RunBatch(*session, FakeConvert);
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(session->progress.FilesConverted, 0);

  Queue({"a.png"});
  session->state.Running = false;
  RunBatch(*session, FakeConvert);
  EXPECT_TRUE(record.files.empty());
  EXPECT_EQ(session->progress.FilesConverted, 0);
}

TEST_F(RunBatchTest, DebugLinesOnlyInCommandLineDebugMode) {
  Queue({"a.png"});
  session->state.CommandLineMode = false;
  RunBatch(*session, FakeConvert);
  EXPECT_TRUE(lines.empty());
  session->state.CommandLineMode = true;
  session->state.Mode = "debug";  // the mode word is compared exactly
  RunBatch(*session, FakeConvert);
  EXPECT_TRUE(lines.empty());
}

TEST_F(RunBatchTest, CountersGoOnAcrossRuns) {
  Queue({"a.png"});
  int32_t random = session->state.RandomNumber;
  EXPECT_TRUE(random >= 1 && random <= 99999);
  RunBatch(*session, FakeConvert);
  RunBatch(*session, FakeConvert);
  EXPECT_EQ(record.counters, (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(session->state.FileCounter, 3);
}

class FileDateTest : public RunBatchTest {
 protected:
  void ConvertOne() {
    test::SavePng(test::MakeRgb(8, 8, [](int, int) { return test::Rgba{10, 20, 30, 255}; }).get(), dir / "in.png");
    struct timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 0}};  // 2001-09-09 01:46:40 UTC
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "in.png").c_str(), times, 0), 0);
    session->state.OutputFolder = dir.path();
    session->state.OutputFormat = "jpg";
    SelectOutputFormat(*session);
    Queue({dir / "in.png"});
    RunBatch(*session);
    ASSERT_EQ(session->progress.FilesConverted, 1);
  }
  time_t OutputTime() {
    struct stat st;
    ::stat((dir / "in.jpg").c_str(), &st);
    return st.st_mtim.tv_sec;
  }
  test::TempDir dir;
};

TEST_F(FileDateTest, OriginalCopiesTheInputsDate) {
  session->settings.FileTimestamp = 1;
  ConvertOne();
  EXPECT_EQ(OutputTime(), 1000000000);
}

TEST_F(FileDateTest, CustomZeroIsTheStartOf1970InLocalTime) {
  session->settings.FileTimestamp = 2;
  session->settings.CustomTimestamp = 0;
  ConvertOne();
  struct tm local{};
  time_t t = OutputTime();
  localtime_r(&t, &local);
  EXPECT_EQ(local.tm_year, 70);
  EXPECT_EQ(local.tm_mon, 0);
  EXPECT_EQ(local.tm_mday, 1);
  EXPECT_EQ(local.tm_hour, 0);
  EXPECT_EQ(local.tm_min, 0);
}

TEST_F(FileDateTest, CurrentLeavesTheTimeOfWriting) {
  time_t before = time(nullptr);
  ConvertOne();
  EXPECT_GE(OutputTime(), before - 1);
}

TEST(AddInputFile, TakesOneNonEmptyPngFile) {
  test::TempDir dir;
  auto session = std::make_unique<Session>();
  test::WriteFile(dir / "a.PNG", "x");
  test::WriteFile(dir / "b.png", "y");
  test::WriteFile(dir / "empty.png", "");
  test::WriteFile(dir / "c.jpg", "z");
  EXPECT_TRUE(AddInputFile(*session, dir / "a.PNG"));
  EXPECT_TRUE(AddInputFile(*session, dir / "b.png"));
  ASSERT_EQ(session->queue.size(), 1u);  // the second replaces the first
  EXPECT_EQ(session->queue.begin()->first, dir / "b.png");
  EXPECT_EQ(session->queue.begin()->second.Present, 1);
  EXPECT_FALSE(AddInputFile(*session, dir / "empty.png"));
  EXPECT_FALSE(AddInputFile(*session, dir / "c.jpg"));
  EXPECT_EQ(session->queue.begin()->first, dir / "b.png");
}

TEST(ExtensionPart, FollowsTheLastDotOfTheLastElement) {
  EXPECT_EQ(ExtensionPart("/a/b.png"), "png");
  EXPECT_EQ(ExtensionPart("/a.d/b"), "");
  EXPECT_EQ(ExtensionPart("/a/.png"), "");
  EXPECT_EQ(ExtensionPart("/a/.x.png"), "png");
  EXPECT_EQ(ExtensionPart("/a/b. png"), "");
  EXPECT_EQ(ExtensionPart("b.tar.PNG"), "PNG");
}

TEST(RelativeSubfolder, IsTheFoldersPartBelowTheRoot) {
  EXPECT_EQ(RelativeSubfolder("/in/2020/june/a.png", "/in/"), "2020/june/");
  EXPECT_EQ(RelativeSubfolder("/in/a.png", "/in/"), "");
  EXPECT_EQ(RelativeSubfolder("/other/a.png", "/in/"), "");
  EXPECT_EQ(RelativeSubfolder("/in/a.png", ""), "");
}

}  // namespace
}  // namespace rastello

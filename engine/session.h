#pragma once
// The records of a run: what is being converted, its progress and the settings it uses.
//
// Error contract of the engine: operations return plain values (a bitmap, true/false) and
// never throw. A pipeline step that fails returns a null bitmap; later steps pass a null
// bitmap on, and the save then fails. Whatever a step received it owns: a step that makes a
// new bitmap frees the old one (by letting its Bitmap go). Why a file failed is recorded in
// RunState::FailureReason, in English, for the front end to show; the runner itself only
// counts successes.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <string_view>
#include <unordered_map>

#include "settings/settings.h"

namespace rastello {

class Font;

struct RunState {
  std::string ProgramFolder;  // ends in "/"
  std::string InputPath;
  std::string InputRoot;
  std::string Subfolder;  // "" or ends in "/"
  std::string OutputPath;
  std::string OutputFolder;  // ends in "/" once a run starts
  int32_t RandomNumber = 0;  // 1..99999, for %rnd%
  int32_t FileCounter = 1;   // for %n%
  std::string InputFormat;
  int32_t SourceBpp = 0;
  int32_t FormatId = 0;
  std::string OutputFormat;  // lower-case extension
  int32_t TargetBpp = 0;     // 0 = automatic
  int32_t SaveFlags = 0;
  bool AutoBpp = false;
  bool CommandLineMode = false;
  std::string Mode;  // "DEBUG", "T" or ""
  int32_t ImageWidth = 0;
  int32_t ImageHeight = 0;
  int32_t FrameNumber = 0;
  std::atomic<bool> Running{false};
  std::string FailureReason;  // why the last file failed; "" after a success
};

struct QueueEntry {
  int32_t Present = 0;
  std::string Subfolder;
};
using ConversionQueue = std::unordered_map<std::string, QueueEntry>;

struct ProgressInfo {
  std::mutex Lock;
  int32_t CurrentIndex = 0;
  std::string CurrentFile;
  int64_t LastDurationMs = 0;
  int32_t FilesConverted = 0;
};

// Everything one conversion run reads and writes. The front end fills it before the worker
// starts and leaves it alone (but for Running and ProgressInfo) until the worker has ended.
struct Session {
  Settings settings;
  RunState state;
  ConversionQueue queue;
  ProgressInfo progress;
  const Font* watermarkFont = nullptr;  // loaded by the front end for a text watermark
  std::function<void(std::string_view)> print;  // console lines of the debug mode
  bool allowStreaming = true;  // tests turn the row-by-row path off to compare with the bitmap path
  bool allowDirectRows = true;  // and the bitmap path's own PNG row reader, to compare with FreeImage's
  std::mt19937 random{std::random_device{}()};

  int32_t RandomInRange(int32_t lo, int32_t hi) {
    return std::uniform_int_distribution<int32_t>(lo, hi)(random);
  }
  void Print(std::string_view line) const {
    if (print) print(line);
  }
};

}  // namespace rastello

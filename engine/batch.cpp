#include "engine/batch.h"

#include "engine/filetype.h"
#include "engine/formats.h"
#include "engine/pipeline.h"
#include "engine/session.h"
#include "platform/files.h"
#include "platform/time.h"
#include "settings/text.h"

namespace rastello {

namespace {

constexpr int64_t kMinimumDurationMs = 1000;  // keeps time estimates away from zero

void SetOutputDate(const Session& session) {
  const RunState& st = session.state;
  switch (session.settings.FileTimestamp) {
    case 1:
      SetFileDate(st.OutputPath, FileDate(st.InputPath));
      break;
    case 2:
      SetFileDate(st.OutputPath, session.settings.CustomTimestamp);
      break;
    default:
      break;
  }
}

}  // namespace

int RunBatch(Session& session) { return RunBatch(session, ConvertFile); }

int RunBatch(Session& session, FileConverter convert) {
  RunState& st = session.state;
  const bool debug = st.CommandLineMode && st.Mode == "DEBUG";
  int32_t index = 0, converted = 0;
  int64_t lastDuration = 0;
  for (const auto& [path, entry] : session.queue) {
    if (!st.Running) break;
    ++index;
    st.InputPath = path;
    st.Subfolder = entry.Subfolder;
    {
      std::lock_guard<std::mutex> lock(session.progress.Lock);
      session.progress.CurrentIndex = index;
      session.progress.CurrentFile = st.InputPath;
      session.progress.LastDurationMs = lastDuration;
    }
    if (debug) {
      session.Print("Processing: " + st.InputPath);
      session.Print("File Format: " + IdentifyFileType(st.InputPath));
    }
    int64_t t0 = MonotonicMs();
    if (!convert(session)) {
      if (debug) session.Print("[ERROR] Unable to convert the file!");
      lastDuration = 0;
      continue;
    }
    if (debug) session.Print("[OK] Saving As: " + st.OutputPath);
    int64_t elapsed = MonotonicMs() - t0;
    st.RandomNumber = session.RandomInRange(1, 99999);
    st.FileCounter += 1;
    SetOutputDate(session);
    ++converted;
    lastDuration = elapsed < kMinimumDurationMs ? kMinimumDurationMs : elapsed;
  }
  std::lock_guard<std::mutex> lock(session.progress.Lock);
  session.progress.FilesConverted = converted;
  return 0;
}

void ResetRunState(Session& session) {
  RunState& st = session.state;
  st.ProgramFolder = ProgramFolder();
  st.CommandLineMode = false;
  st.RandomNumber = session.RandomInRange(1, 99999);
  st.FileCounter = 1;
  st.InputPath.clear();
  st.InputRoot.clear();
  st.Subfolder.clear();
  st.OutputPath.clear();
  st.OutputFolder.clear();
  st.InputFormat.clear();
  st.OutputFormat.clear();
  st.SourceBpp = st.TargetBpp = st.FormatId = st.SaveFlags = 0;
  st.AutoBpp = false;
  st.FailureReason.clear();
  session.queue.clear();
  session.queue.rehash(512);
}

std::string RelativeSubfolder(std::string_view file, std::string_view root) {
  if (file.empty() || root.empty()) return {};
  std::string folder = FolderPart(file);
  if (folder.find(root) == std::string::npos) return {};
  std::string result;
  size_t pos = 0;
  while (true) {
    size_t hit = folder.find(root, pos);
    if (hit == std::string::npos) break;
    result.append(folder, pos, hit - pos);
    pos = hit + root.size();
  }
  result.append(folder, pos);
  return result;
}

bool AddInputFile(Session& session, const std::string& path) {
  if (FileSize(path) == 0 || !IsAcceptedExtension(AsciiLower(ExtensionPart(path)))) return false;
  session.queue.clear();
  session.queue[path] = QueueEntry{1, RelativeSubfolder(path, session.state.InputRoot)};
  return true;
}

std::string ExtensionPart(std::string_view path) {
  std::string_view name = path.substr(path.rfind('/') == std::string_view::npos ? 0 : path.rfind('/') + 1);
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return {};
  std::string_view ext = name.substr(dot + 1);
  if (ext.find(' ') != std::string_view::npos) return {};
  return std::string(ext);
}

}  // namespace rastello

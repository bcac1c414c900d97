#pragma once
// The fuzz targets. Each takes one input and returns "" when every property it checks holds,
// else a description of what went wrong. The libFuzzer entry points (fuzz/*_fuzz.cpp) abort on
// a problem; the normal test build replays the saved corpora and reproducers through the same
// functions and expects none.
//
// Targets write only into one private folder per process, remove what they wrote before they
// return, and do not depend on the clock or on chance, so an input behaves the same each time.
#include <FreeImage.h>
#include <dirent.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/cli_run.h"
#include "app/command_line.h"
#include "app/profile.h"
#include "engine/bitmap.h"
#include "engine/filetype.h"
#include "engine/formats.h"
#include "engine/naming.h"
#include "engine/pipeline.h"
#include "engine/session.h"
#include "engine/steps/steps.h"
#include "platform/console.h"
#include "platform/files.h"
#include "settings/ini.h"
#include "settings/settings_file.h"
#include "settings/text.h"

namespace rastello::fuzz {

// ---------------------------------------------------------------------------------------------
// Scratch files

// A fresh folder under $TMPDIR (else /tmp) for the life of the process; ends in "/".
class ScratchFolder {
 public:
  ScratchFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/rastello-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = pattern + "/";
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::string operator/(std::string_view name) const { return path_ + std::string(name); }

 private:
  std::string path_;
};

inline const ScratchFolder& Scratch() {
  static const ScratchFolder folder;
  return folder;
}

// A sub-folder of the scratch folder, made on first use; ends in "/".
inline std::string ScratchSubfolder(const std::string& name) {
  std::string folder = Scratch() / (name + "/");
  std::filesystem::create_directories(folder);
  return folder;
}

inline bool WriteBytes(const std::string& path, std::string_view bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

inline std::string ReadBytes(const std::string& path) {
  std::string bytes;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return bytes;
  char buf[8192];
  while (size_t n = std::fread(buf, 1, sizeof buf, file)) bytes.append(buf, n);
  std::fclose(file);
  return bytes;
}

// Names in a folder, "." and ".." left out.
inline std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (dirent* entry = ::readdir(dir)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
  }
  return names;
}

// Empties a folder that holds only files.
inline void Clear(const std::string& folder) {
  for (const std::string& name : Names(folder)) std::remove((folder + name).c_str());
}

inline std::string_view AsText(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The input cut at every NUL byte: no argument or name can hold one.
inline std::vector<std::string> SplitAtNul(std::string_view bytes) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= bytes.size()) {
    size_t end = bytes.find('\0', start);
    if (end == std::string_view::npos) end = bytes.size();
    parts.emplace_back(bytes.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

class NullConsole : public Console {
 public:
  void Line(std::string_view) override {}
  void ErrorLine(std::string_view) override {}
  void SetTitle(std::string_view) override {}
  void WaitKey() override {}
};

// What a finished JPEG must look like: start and end markers, and the expected size when
// FreeImage reads it back. "" when it does.
inline std::string CheckJpeg(const std::string& path, unsigned width, unsigned height) {
  std::string bytes = ReadBytes(path);
  if (bytes.size() < 4 || bytes.compare(0, 3, "\xFF\xD8\xFF") != 0 ||
      bytes.compare(bytes.size() - 2, 2, "\xFF\xD9") != 0)
    return "the output is no complete JPEG (" + std::to_string(bytes.size()) + " bytes)";
  FIMEMORY* memory = FreeImage_OpenMemory(reinterpret_cast<BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
  Bitmap jpeg(FreeImage_LoadFromMemory(FIF_JPEG, memory, 0));
  FreeImage_CloseMemory(memory);
  if (!jpeg) return "the output JPEG cannot be read back";
  if (width != 0 && (FreeImage_GetWidth(jpeg.get()) != width || FreeImage_GetHeight(jpeg.get()) != height))
    return "the output JPEG has another size than the input";
  return {};
}

// FreeImage is not instrumented, so the fuzzer cannot tell apart inputs that take different
// ways through it. Marking what it reported as one of 256 functions gives each outcome its
// own coverage.
template <unsigned N>
[[gnu::noinline]] void Outcome() {
  asm volatile("");
}

template <unsigned... N>
void MarkOutcome(uint32_t value, std::integer_sequence<unsigned, N...>) {
  static constexpr void (*kOutcomes[])() = {Outcome<N>...};
  kOutcomes[value % sizeof...(N)]();
}

inline void MarkOutcome(std::string_view what) {
  uint32_t hash = 2166136261u;  // FNV-1a
  for (char c : what) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  MarkOutcome(hash, std::make_integer_sequence<unsigned, 256>());
}

// ---------------------------------------------------------------------------------------------
// PNG load and the default conversion

inline uint32_t BigEndian32(std::string_view bytes, size_t at) {
  if (bytes.size() < at + 4) return 0;
  auto b = [&](size_t i) { return uint32_t(static_cast<unsigned char>(bytes[at + i])); };
  return b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3);
}

struct PngResult {
  bool converted = false;
  std::string reason;
  std::string jpeg;  // the output's bytes
  std::string problem;
};

// Converts `input` with the command line's defaults (quality 95) into `output`, row by row
// where the file allows it, or through a bitmap read by FreeImage's own loader (the
// reference), and checks what it leaves there.
inline PngResult ConvertPngOnce(const std::string& input, const std::string& output, bool streaming,
                                std::string_view bytes) {
  auto session = std::make_unique<Session>();
  ResetSettings(session->settings, true);
  RunState& st = session->state;
  st.InputPath = input;
  st.OutputFolder = output;
  st.OutputFormat = "jpg";
  st.CommandLineMode = true;
  session->allowStreaming = streaming;
  session->allowDirectRows = streaming;
  SelectOutputFormat(*session);
  PngResult r;
  r.converted = ConvertFile(*session);
  r.reason = st.FailureReason;
  // The header's depth, colour type and interlacing, the depth decoded, and the reason.
  std::string header = bytes.size() >= 29 ? std::string(bytes.substr(24, 5)) : std::string();
  MarkOutcome(header + std::to_string(st.SourceBpp) + st.FailureReason + (streaming ? "s" : "b"));

  std::vector<std::string> left = Names(output);
  if (r.converted) {
    if (!st.FailureReason.empty()) r.problem = "a success with a failure reason";
    else if (left != std::vector<std::string>{"in.jpg"} || st.OutputPath != output + "in.jpg")
      r.problem = "a success that left other files than in.jpg";
    else
      r.problem = CheckJpeg(st.OutputPath, BigEndian32(bytes, 16), BigEndian32(bytes, 20));
    r.jpeg = ReadBytes(st.OutputPath);
  } else {
    if (st.FailureReason.empty()) r.problem = "a failure without a reason";
    else if (!left.empty()) r.problem = "a failed conversion left " + left.front();
  }
  Clear(output);
  return r;
}

// The input as a PNG file, converted as a plain run does and again through a bitmap. Each
// success leaves exactly the JPEG of the input's size, each failure nothing but a reason, and
// both ways agree to the byte.
inline std::string ConvertPng(const uint8_t* data, size_t size) {
  static const std::string input = Scratch() / "in.png";
  static const std::string output = ScratchSubfolder("png-out");
  std::string_view bytes = AsText(data, size);
  if (!WriteBytes(input, bytes)) return "cannot write the input file";
  PngResult streamed = ConvertPngOnce(input, output, true, bytes);
  if (!streamed.problem.empty()) return streamed.problem;
  PngResult bitmap = ConvertPngOnce(input, output, false, bytes);
  if (!bitmap.problem.empty()) return "through a bitmap: " + bitmap.problem;
  if (streamed.converted != bitmap.converted)
    return streamed.converted ? "streamed, but the bitmap path refuses it: " + bitmap.reason
                              : "the bitmap path converts it, but a plain run fails: " + streamed.reason;
  if (streamed.jpeg != bitmap.jpeg) return "streamed and bitmap outputs differ";
  return {};
}

// ---------------------------------------------------------------------------------------------
// The command line

// Every setting but the dates, which a reset takes from the clock, as text.
inline std::string SettingsWithoutDates(const Settings& s) {
  std::string text;
  for (const SettingInfo& info : SettingsTable()) {
    if (info.kind == SettingKind::DateTime) continue;
    text += info.key;
    text += '=';
    if (auto member = std::get_if<std::string Settings::*>(&info.field))
      text += s.**member;
    else if (auto real = std::get_if<float Settings::*>(&info.field))
      text += std::to_string(s.**real);
    else
      text += std::to_string(NumericValue(s, info.field));
    text += '\n';
  }
  return text;
}

// The input split into arguments at NUL bytes and parsed. The parse must end in one of its
// documented ways, and parsing the same arguments again must give the same result.
inline std::string ParseArguments(const uint8_t* data, size_t size) {
  std::vector<std::string> args = size == 0 ? std::vector<std::string>{} : SplitAtNul(AsText(data, size));
  auto first = std::make_unique<Session>();
  auto second = std::make_unique<Session>();
  ParsedCommandLine a = ParseCommandLine(args, *first);
  ParsedCommandLine b = ParseCommandLine(args, *second);

  if (a.kind != b.kind || a.error != b.error || a.quiet != b.quiet || a.pause != b.pause ||
      first->state.InputRoot != second->state.InputRoot || first->state.OutputFolder != second->state.OutputFolder ||
      first->state.OutputFormat != second->state.OutputFormat || first->state.Mode != second->state.Mode ||
      SettingsWithoutDates(first->settings) != SettingsWithoutDates(second->settings))
    return "two parses of the same arguments differ";
  if (args.empty() && a.kind != StartKind::Window) return "no arguments, but no window start";
  if (a.kind == StartKind::Error) {
    if (a.error != "Incorrect number of parameters" && a.error != "Invalid profile file")
      return "an unknown error: " + a.error;
  } else if (!a.error.empty()) {
    return "an error that does not stop the start";
  }
  if (a.kind == StartKind::Run && !first->state.CommandLineMode) return "a run without the command-line mode";
  if (a.kind == StartKind::Window && first->state.CommandLineMode) return "a window start with an input";
  return {};
}

// ---------------------------------------------------------------------------------------------
// INI files

inline bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }
inline bool BlankOrTabAt(std::string_view s, bool front) {
  return !s.empty() && ((front ? s.front() : s.back()) == ' ' || (front ? s.front() : s.back()) == '\t');
}

// The input parsed as an INI file. What the reader yields must obey its rules, and writing
// the groups and entries out again (as UTF-8) must read back to the same.
inline std::string ParseIni(const uint8_t* data, size_t size) {
  IniFile ini = IniFile::Parse(AsText(data, size));
  std::string again = "\xEF\xBB\xBF";
  for (const IniFile::Group& group : ini.groups()) {
    if (HasLineBreak(group.name) || group.name.find(']') != std::string::npos) return "a group name over its end";
    if (ini.FindGroup(group.name) == nullptr) return "a group that FindGroup does not find";
    again += "[" + group.name + "]\n";
    for (const IniFile::Entry& entry : group.entries) {
      if (HasLineBreak(entry.key) || HasLineBreak(entry.value)) return "a key or value over its line";
      if (entry.key.find('=') != std::string::npos) return "a key with \"=\" in it";
      if (BlankOrTabAt(entry.key, true) || BlankOrTabAt(entry.key, false)) return "a key with blanks at an end";
      if (BlankOrTabAt(entry.value, true) || BlankOrTabAt(entry.value, false)) return "a value with blanks at an end";
      if (!entry.key.empty() && (entry.key.front() == ';' || entry.key.front() == '['))
        return "a comment or group line taken as a key";
      again += entry.key + "=" + entry.value + "\n";
    }
  }
  IniFile reread = IniFile::Parse(again);
  if (reread.groups().size() != ini.groups().size()) return "written out and read back, the group count changes";
  for (size_t g = 0; g < ini.groups().size(); ++g) {
    const IniFile::Group& x = ini.groups()[g];
    const IniFile::Group& y = reread.groups()[g];
    if (x.name != y.name || x.entries.size() != y.entries.size()) return "written out and read back, a group changes";
    for (size_t e = 0; e < x.entries.size(); ++e)
      if (x.entries[e].key != y.entries[e].key || x.entries[e].value != y.entries[e].value)
        return "written out and read back, an entry changes";
  }
  return {};
}

// ---------------------------------------------------------------------------------------------
// Profile files and the conversion they set up

// A 16 x 12 picture with transparent parts, written once.
inline const std::string& SmallPng() {
  static const std::string path = [] {
    std::string p = Scratch() / "small.png";
    Bitmap dib(FreeImage_Allocate(16, 12, 32));
    for (unsigned y = 0; y < 12; ++y) {
      BYTE* line = FreeImage_GetScanLine(dib.get(), y);
      for (unsigned x = 0; x < 16; ++x) {
        line[4 * x + FI_RGBA_RED] = BYTE(x * 16);
        line[4 * x + FI_RGBA_GREEN] = BYTE(y * 20);
        line[4 * x + FI_RGBA_BLUE] = BYTE(200 - x * 8);
        line[4 * x + FI_RGBA_ALPHA] = BYTE(x < 4 ? 0 : 255);
      }
    }
    if (!FreeImage_Save(FIF_PNG, dib.get(), p.c_str(), PNG_DEFAULT)) std::abort();
    return p;
  }();
  return path;
}

// The input as a profile file, applied by a command-line run that converts a small picture
// with whatever it sets. The run checks the values as always; it must end in success with
// exactly the one JPEG, or in failure with nothing written. The name is fixed after the
// profile, so that no mask can lead out of the folder.
inline std::string RunProfile(const uint8_t* data, size_t size) {
  static const std::string profile = Scratch() / "profile.ini";
  static const std::string output = ScratchSubfolder("profile-out");
  if (!WriteBytes(profile, AsText(data, size))) return "cannot write the profile";

  auto session = std::make_unique<Session>();
  std::vector<std::string> args = {"-q", "-i", SmallPng(), "-o", output, "--profile=" + profile,
                                   "--filename-mask=out.%ext%"};
  ParsedCommandLine parsed = ParseCommandLine(args, *session);
  if (parsed.kind != StartKind::Run) return "a readable profile stopped the command line";

  // Sizes up to the image limits are fine but slow; the fuzzer keeps to small ones.
  if (std::optional<ImageSize> target = ResizeTarget(session->settings, 16, 12);
      target && int64_t(target->width) * target->height > 4096 * 4096)
    return {};

  NullConsole console;
  int code = RunCommandLine(*session, parsed.quiet, console);
  std::vector<std::string> left = Names(output);
  std::string problem;
  if (code == 0) {
    if (left != std::vector<std::string>{"out.jpg"}) problem = "a success that left other files than out.jpg";
    else problem = CheckJpeg(output + "out.jpg", 0, 0);
  } else if (code != 1) {
    problem = "exit code " + std::to_string(code);
  } else if (!left.empty()) {
    problem = "a failed run left " + left.front();
  }
  Clear(output);
  return problem;
}

// ---------------------------------------------------------------------------------------------
// File type identification

// The name must not depend on bytes past the 20 it looks at, nor differ between a file and
// the same bytes in memory; a PNG signature always names a PNG.
inline std::string IdentifyBytes(const uint8_t* data, size_t size) {
  static const std::string file = Scratch() / "type";
  std::string name = IdentifySignature(data, size);
  if (name.empty()) return "an empty type name";
  if (IdentifySignature(data, size < 20 ? size : 20) != name) return "the name depends on bytes past the 20th";
  if (size >= 8 && AsText(data, 8) == "\x89PNG\r\n\x1A\n" && name != "PNG") return "a PNG signature named " + name;
  if (!WriteBytes(file, AsText(data, size))) return "cannot write the file";
  if (IdentifyFileType(file) != name) return "the file and its bytes are named differently";
  return {};
}

// ---------------------------------------------------------------------------------------------
// Filename mask and text tokens

// Input: the mask, the input file name and the watermark text, separated by NUL bytes. The
// tokens fill in values but never a "/" or a NUL byte: a mask and a name without those must
// not name a file in another folder.
inline std::string ExpandNames(const uint8_t* data, size_t size) {
  std::vector<std::string> parts = SplitAtNul(AsText(data, size));
  parts.resize(3);
  auto session = std::make_unique<Session>();
  ResetSettings(session->settings, true);
  Settings& s = session->settings;
  RunState& st = session->state;
  s.FilenameMask = parts[0];
  s.Text = parts[2];
  st.InputPath = "/in/" + parts[1];
  st.OutputFolder = "/out/";
  st.OutputFormat = "jpg";
  st.TargetBpp = 24;
  st.ImageWidth = 640;
  st.ImageHeight = 480;
  st.FrameNumber = 1;
  st.RandomNumber = 4711;
  st.FileCounter = 123456;

  auto noSeparators = [](std::string_view text) {
    return text.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
  };
  std::string name = ApplyFilenameMask(*session);
  std::string mask = UnicodeLower(parts[0]);
  if (noSeparators(mask) && noSeparators(FilePart(st.InputPath)) && !noSeparators(name))
    return "the name holds a folder separator or NUL that neither the mask nor the input name has";
  if (!mask.empty() && mask.find('%') == std::string::npos && name != mask) return "a mask without tokens changed";
  // Date tokens read the clock anew, so only the shape of a second expansion is compared.
  std::string path = BuildOutputPath(*session);
  if (path.compare(0, 5, "/out/") != 0 || path.size() != 5 + name.size())
    return "the output path is not the folder and the name";

  std::string text = ApplyTextTokens(*session);
  size_t percents = 0;
  for (char c : parts[2]) percents += c == '%';
  if (percents < 2 && text != parts[2]) return "a text without two % signs changed";
  if (noSeparators(parts[2]) && noSeparators(FilePart(st.InputPath)) && !noSeparators(text))
    return "the text gained a folder separator or NUL";

  std::string stripped = StripExtension(parts[1]);
  if (parts[1].compare(0, stripped.size(), stripped) != 0) return "the stripped name is no prefix of the name";
  return {};
}

// ---------------------------------------------------------------------------------------------
// config.ini

// The input read as config.ini. Whatever it holds, the settings written from it must read
// back to the same settings: one read brings any file to the program's own layout.
inline std::string ReadSettings(const uint8_t* data, size_t size) {
  static const std::string file = Scratch() / "config.ini";
  if (!WriteBytes(file, AsText(data, size))) return "cannot write the file";
  auto settings = std::make_unique<Settings>();
  ReadSettingsFile(*settings, file, DesktopSize{1920, 1080});
  std::string written = SettingsFileText(*settings);
  if (!WriteBytes(file, written)) return "cannot write the file";
  ReadSettingsFile(*settings, file, DesktopSize{1920, 1080});
  if (SettingsFileText(*settings) != written) return "config.ini does not read back to the settings written";
  return {};
}

// ---------------------------------------------------------------------------------------------

using Target = std::string (*)(const uint8_t*, size_t);

struct NamedTarget {
  const char* name;  // also the folder name of its corpus and reproducers
  Target run;
};

inline const std::vector<NamedTarget>& Targets() {
  static const std::vector<NamedTarget> targets = {
      {"png", ConvertPng},           {"command_line", ParseArguments}, {"ini", ParseIni},
      {"profile", RunProfile},       {"filetype", IdentifyBytes},      {"naming", ExpandNames},
      {"settings_file", ReadSettings},
  };
  return targets;
}

}  // namespace rastello::fuzz

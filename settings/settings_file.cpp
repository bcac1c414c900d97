#include "settings/settings_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string_view>
#include <type_traits>
#include <vector>

#include "app/identity.h"
#include "engine/formats.h"
#include "platform/files.h"
#include "settings/ini.h"
#include "settings/numbers.h"
#include "settings/text.h"

namespace rastello {

namespace {

constexpr const char* kLineEnd = "\r\n";

// The format-specific keys of [Input] and [Output]: only the formats this program reads and
// writes get theirs written, but all of them are read.
struct FormatKeys {
  std::string_view extension;
  std::vector<const char*> keys;
};

const std::vector<FormatKeys>& InputFormatKeys() {
  static const std::vector<FormatKeys> table = {
      {"dds", {"DDS Load As"}},
      {"gif", {"GIF Frame Loading"}},
      {"ico", {"ICO Frame Loading"}},
      {"psd", {"PSD Color Mode"}},
      {"raw", {"RAW Load As", "RAW Header Size", "RAW Image Width", "RAW Image Height", "RAW Tone Mapping"}},
      {"tiff", {"TIFF Frame Loading"}},
  };
  return table;
}

const std::vector<FormatKeys>& OutputFormatKeys() {
  static const std::vector<FormatKeys> table = {
      {"bmp", {"BMP BPP", "BMP Compression", "BMP Color Table"}},
      {"dds", {"DDS BPP"}},
      {"exr", {"EXR BPP", "EXR Compression"}},
      {"gif", {"GIF BPP"}},
      {"hdr", {"HDR BPP"}},
      {"ico", {"ICO BPP"}},
      {"j2k", {"J2K BPP"}},
      {"jng", {"JNG BPP"}},
      {"jp2", {"JP2 BPP"}},
      {"jpg", {"JPG BPP", "JPG Quality", "JPG Chroma", "JPG Save As"}},
      {"jxr", {"JXR BPP"}},
      {"pbm", {"PBM BPP"}},
      {"pcx", {"PCX BPP"}},
      {"pfm", {"PFM BPP"}},
      {"pgm", {"PGM BPP"}},
      {"png", {"PNG BPP", "PNG Compression", "PNG Interlaced"}},
      {"ppm", {"PPM BPP"}},
      {"psd", {"PSD BPP"}},
      {"tga", {"TGA BPP", "TGA Compression"}},
      {"tiff", {"TIFF BPP", "TIFF Compression", "TIFF Color Mode"}},
      {"wbmp", {"WBMP BPP"}},
      {"webp", {"WEBP BPP", "WEBP Quality"}},
      {"xpm", {"XPM BPP"}},
  };
  return table;
}

// A list longer than this is not a format list.
constexpr size_t kMaxFormatsWalked = 128;

// ---------------------------------------------------------------------------------------------
// Folder

std::string WithSlash(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

// Only absolute values count: a relative one would depend on the current folder.
std::string AbsoluteOrEmpty(const char* value) {
  if (value == nullptr) return {};
  std::string_view trimmed = TrimBlanks(value);
  if (trimmed.empty() || trimmed.front() != '/') return {};
  return std::string(trimmed);
}

std::string HomeFolder() {
  std::string home = AbsoluteOrEmpty(std::getenv("HOME"));
  if (!home.empty()) return home;
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buf(size > 0 ? static_cast<size_t>(size) : 16384);
  struct passwd pw;
  struct passwd* found = nullptr;
  if (::getpwuid_r(::geteuid(), &pw, buf.data(), buf.size(), &found) == 0 && found != nullptr)
    return AbsoluteOrEmpty(found->pw_dir);
  return {};
}

std::string ConfigHome() {
  std::string base = AbsoluteOrEmpty(std::getenv("XDG_CONFIG_HOME"));
  if (base.empty()) {
    std::string home = HomeFolder();
    if (home.empty()) return {};
    base = WithSlash(home) + ".config";
  }
  return WithSlash(base);
}

// Creates every missing folder along `folder` (which ends in "/"); the ones made here are
// private to the user, as the configuration home should be. Failures show up when writing.
void CreateFolders(const std::string& folder) {
  for (size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1)) {
    std::string level = folder.substr(0, slash);
    if (!IsFolder(level)) ::mkdir(level.c_str(), 0700);
  }
}

// ---------------------------------------------------------------------------------------------
// Writing

// A value is the rest of its line: a line break in it would start a new line that the reader
// takes as a key or a group of its own.
std::string OneLine(std::string_view text) {
  std::string line(text);
  for (char& c : line)
    if (c == '\r' || c == '\n') c = ' ';
  return line;
}

std::string ValueText(const Settings& s, const SettingInfo& info) {
  return std::visit(
      [&s](auto member) -> std::string {
        using T = std::remove_cvref_t<decltype(s.*member)>;
        if constexpr (std::is_same_v<T, std::string>)
          return OneLine(s.*member);
        else if constexpr (std::is_same_v<T, float>)
          return FormatFloat(s.*member, 6);
        else
          return std::to_string(static_cast<int64_t>(s.*member));
      },
      info.field);
}

void AppendLine(std::string& out, std::string_view line) {
  out += line;
  out += kLineEnd;
}

void AppendKey(std::string& out, const char* key, const std::string& value) {
  out += key;
  out += " = ";
  out += value;
  out += kLineEnd;
}

void AppendSetting(std::string& out, const Settings& s, const SettingInfo& info) {
  if (info.field == SettingField(&Settings::CFG))
    AppendKey(out, info.key, std::to_string(kSettingsLayoutVersion));
  else
    AppendKey(out, info.key, ValueText(s, info));
}

// "Format", then the keys of each extension of `extensions` that has any, in list order.
void AppendFormatGroup(std::string& out, const Settings& s, const char* group,
                       const std::vector<std::string>& extensions, const std::vector<FormatKeys>& table) {
  AppendSetting(out, s, *FindSetting(group, "Format"));
  for (size_t i = 0; i < extensions.size() && i < kMaxFormatsWalked; ++i)
    for (const FormatKeys& format : table)
      if (format.extension == extensions[i])
        for (const char* key : format.keys) AppendSetting(out, s, *FindSetting(group, key));
}

// ---------------------------------------------------------------------------------------------
// Reading

// Numbers in this file are plain decimals, as the writer puts them: blanks skipped, an
// optional sign, digits up to the first other character. Wraps like the 64-bit sum it is.
int64_t ReadDecimal(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  uint64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10 + unsigned(text[i] - '0');
  if (negative) value = ~value + 1;
  return static_cast<int64_t>(value);
}

void StoreText(Settings& s, const SettingInfo& info, const std::string& value) {
  std::visit(
      [&](auto member) {
        using T = std::remove_cvref_t<decltype(s.*member)>;
        if constexpr (std::is_same_v<T, std::string>)
          s.*member = value;
        else if constexpr (std::is_same_v<T, float>)
          s.*member = ReadFloat(value);
        else
          StoreNumber(s, info.field, ReadDecimal(value));  // narrower fields keep the low bits
      },
      info.field);
}

int32_t ReadInt32(const IniFile& ini, std::string_view group, std::string_view key) {
  const std::string* value = ini.Find(group, key);
  return value ? static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(ReadDecimal(*value)))) : 0;
}

// Masks of the oldest layouts named no extension; one that names it already, in any of its
// token forms or letter cases, keeps it single.
bool MaskNamesExtension(std::string_view mask) {
  for (const char* token : {"%ext%", "%ext[u]%", "%ext[t]%"})
    if (FindNoCase(mask, token) != std::string_view::npos) return true;
  return false;
}

void UpgradeLayout(Settings& s, const IniFile& ini) {
  if (s.CFG < 11 && !MaskNamesExtension(s.FilenameMask)) s.FilenameMask += ".%ext%";
  // The raw layouts gained two entries at the front of their list.
  if (s.CFG < 14 && s.RAWLoadAs != 0) s.RAWLoadAs = static_cast<int32_t>(static_cast<uint32_t>(s.RAWLoadAs) + 2u);
  if (s.CFG < 19) {
    // The colour modes were once stored under other names.
    if (int32_t model = ReadInt32(ini, "Input", "PSD Color Model"); model != 0) s.PSDColorMode = model;
    if (int32_t model = ReadInt32(ini, "Output", "TIFF Color Model"); model != 0) s.TIFFColorMode = model;
  }
}

// A link to a shared or versioned copy stays a link; the copy is what gets replaced.
std::string ResolveLink(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char* real = ::realpath(path.c_str(), nullptr);
  if (real == nullptr) return path;
  std::string target(real);
  std::free(real);
  return target;
}

}  // namespace

std::string BuildSettingsFolder() {
  std::string base = ConfigHome();
  if (base.empty()) return {};
  std::string_view displayName = kDisplayName;
  std::string maker(displayName.substr(0, displayName.find(' ')));
  std::string folder = base + maker + "/" + kShortName + "/";
  CreateFolders(folder);
  return folder;
}

std::string SettingsFolder() {
  static const std::string folder = BuildSettingsFolder();
  return folder;
}

std::string SettingsFilePath() {
  std::string folder = SettingsFolder();
  return folder.empty() ? std::string() : folder + "config.ini";
}

std::string SettingsFileText(const Settings& s) {
  std::string out;
  out.reserve(4096);
  AppendLine(out, "\xEF\xBB\xBF");
  const std::vector<SettingInfo>& table = SettingsTable();
  for (size_t first = 0; first < table.size();) {
    std::string_view group = table[first].group;
    size_t end = first;
    while (end < table.size() && table[end].group == group) ++end;

    out += '[';
    out += group;
    out += ']';
    out += kLineEnd;
    if (group == "Input") {
      AppendFormatGroup(out, s, "Input", AllowedInputFormats(), InputFormatKeys());
    } else if (group == "Output") {
      AppendFormatGroup(out, s, "Output", AllowedOutputFormats(), OutputFormatKeys());
    } else if (group == "Window" && s.SaveWindowPosition == 0) {
      // left empty, so that the next start places the window afresh
    } else {
      for (size_t i = first; i < end; ++i) AppendSetting(out, s, table[i]);
    }
    AppendLine(out, "; ");
    first = end;
  }
  return out;
}

bool WriteSettingsFile(const Settings& s, const std::string& path) {
  if (path.empty()) return false;
  std::string target = ResolveLink(path);
  std::string text = SettingsFileText(s);
  std::string error;  // not shown: an unsaved settings file is not worth a message
  return WriteFileAtomically(target, text.data(), text.size(), error);
}

bool WriteSettingsFile(const Settings& s) { return WriteSettingsFile(s, SettingsFilePath()); }

void ReadSettingsFile(Settings& s, const std::string& path, DesktopSize desktop) {
  ResetSettings(s, false, desktop);
  std::optional<IniFile> ini = path.empty() ? std::nullopt : IniFile::Load(path);
  if (!ini) return;  // the defaults, of the current layout: nothing to upgrade
  // The read defaults are those of a reset, except that a file without a layout version is
  // of the oldest layout and a window without a position opens at 100, 100.
  s.CFG = 0;
  s.X = 100;
  s.Y = 100;
  for (const SettingInfo& info : SettingsTable())
    if (const std::string* value = ini->Find(info.group, info.key)) StoreText(s, info, *value);
  UpgradeLayout(s, *ini);
}

void ReadSettingsFile(Settings& s, DesktopSize desktop) { ReadSettingsFile(s, SettingsFilePath(), desktop); }

}  // namespace rastello

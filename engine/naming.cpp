#include "engine/naming.h"

#include <cstdio>

#include "engine/session.h"
#include "platform/files.h"
#include "platform/time.h"
#include "settings/text.h"

namespace rastello {

const char* const kNameTokens[19] = {
    "%filename%", "%filename[u]%", "%filename[l]%", "%filename[t]%", "%ext%", "%ext[u]%", "%ext[t]%",
    "%yyyy%",     "%mm%",          "%dd%",          "%hh%",          "%ii%",  "%ss%",     "%bpp%",
    "%width%",    "%height%",      "%frame%",       "%rnd%",         "%n%",
};

namespace {

std::string TwoDigits(int value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", value);
  return buf;
}

// Zero-padded to five characters; a longer number keeps only its first five.
std::string FiveCharacters(int32_t value) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%05d", value);
  return std::string(buf).substr(0, 5);
}

std::string TokenValue(const Session& session, std::string_view token) {
  const RunState& st = session.state;
  std::string name = StripExtension(FilePart(st.InputPath));
  if (token == "%filename%") return name;
  if (token == "%filename[u]%") return UnicodeUpper(name);
  if (token == "%filename[l]%") return UnicodeLower(name);
  if (token == "%filename[t]%") return UnicodeTitle(name);
  if (token == "%ext%") return st.OutputFormat;
  if (token == "%ext[u]%") return UnicodeUpper(st.OutputFormat);
  if (token == "%ext[t]%") return UnicodeTitle(st.OutputFormat);
  if (token == "%bpp%") return std::to_string(st.TargetBpp);
  if (token == "%width%") return std::to_string(st.ImageWidth);
  if (token == "%height%") return std::to_string(st.ImageHeight);
  if (token == "%frame%") return std::to_string(st.FrameNumber);
  if (token == "%rnd%") return FiveCharacters(st.RandomNumber);
  if (token == "%n%") return FiveCharacters(st.FileCounter);
  // Date and time: the clock is read anew for each token.
  std::tm now = LocalNow();
  if (token == "%yyyy%") return std::to_string(now.tm_year + 1900);
  if (token == "%mm%") return TwoDigits(now.tm_mon + 1);
  if (token == "%dd%") return TwoDigits(now.tm_mday);
  if (token == "%hh%") return TwoDigits(now.tm_hour);
  if (token == "%ii%") return TwoDigits(now.tm_min);
  if (token == "%ss%") return TwoDigits(now.tm_sec);
  return std::string(token);
}

}  // namespace

std::string ExpandToken(const Session& session, std::string_view text, std::string_view token) {
  return ReplaceAllNoCase(text, token, TokenValue(session, token));
}

std::string ApplyFilenameMask(const Session& session) {
  std::string mask = UnicodeLower(session.settings.FilenameMask);
  if (mask.empty()) mask = "%filename%.%ext%";
  // Each token also sees what earlier tokens inserted.
  for (const char* token : kNameTokens)
    if (mask.find(token) != std::string::npos) mask = ExpandToken(session, mask, token);
  return mask;
}

std::string BuildOutputPath(const Session& session) {
  const RunState& st = session.state;
  return st.OutputFolder + (session.settings.KeepSubfolders ? st.Subfolder : std::string()) +
         ApplyFilenameMask(session);
}

std::string ApplyTextTokens(const Session& session) {
  std::string text = session.settings.Text;
  size_t percents = 0;
  for (char c : text) percents += c == '%';
  if (percents < 2) return text;
  // Tokens are looked for in the text as written, not in what earlier tokens inserted.
  std::string lower = AsciiLower(text);
  for (const char* token : kNameTokens)
    if (lower.find(token) != std::string::npos) text = ExpandToken(session, text, token);
  return text;
}

std::string StripExtension(std::string_view name) {
  size_t dot = name.rfind('.');
  return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

void CreateOutputSubfolders(const Session& session) {
  std::string path = session.state.OutputFolder;
  std::string_view rest = session.state.Subfolder;
  while (!rest.empty()) {
    size_t slash = rest.find('/');
    if (slash == std::string_view::npos) break;
    path.append(rest.substr(0, slash + 1));
    rest.remove_prefix(slash + 1);
    if (!IsFolder(path)) CreateFolder(path);
  }
}

}  // namespace rastello

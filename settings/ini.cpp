#include "settings/ini.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "settings/text.h"

namespace rastello {

namespace {

// A settings, profile or language file is a few kilobytes; refuse what cannot be one rather
// than read a device or a huge file into memory.
constexpr off_t kMaxFileSize = 16 * 1024 * 1024;

bool IsBlankOrTab(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::optional<IniFile> IniFile::Load(const std::string& path) {
  if (path.empty()) return std::nullopt;
  // Without O_NONBLOCK, opening a named pipe waits for a writer that may never come.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxFileSize) {
    ::close(fd);
    return std::nullopt;
  }
  std::string bytes;
  bytes.resize(static_cast<size_t>(st.st_size));
  size_t got = 0;
  while (got < bytes.size()) {
    ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
    if (n < 0) {
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  bytes.resize(got);
  return Parse(bytes);
}

IniFile IniFile::Parse(std::string_view bytes) {
  std::string text;
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
    text.assign(bytes.substr(3));
  else
    text = Latin1ToUtf8(bytes);

  IniFile ini;
  Group* current = nullptr;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + pos, end - pos);
    pos = end + 1;
    if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ++pos;

    while (!line.empty() && IsBlankOrTab(line.front())) line.remove_prefix(1);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      line.remove_prefix(1);
      size_t close = line.find(']');
      ini.groups_.push_back(Group{std::string(line.substr(0, close)), {}});
      current = &ini.groups_.back();
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string_view::npos || current == nullptr) continue;  // never an entry
    std::string_view key = line.substr(0, eq);
    while (!key.empty() && IsBlankOrTab(key.back())) key.remove_suffix(1);
    current->entries.push_back(Entry{std::string(key), std::string(TrimBlanksTabs(line.substr(eq + 1)))});
  }
  return ini;
}

const IniFile::Group* IniFile::FindGroup(std::string_view name) const {
  for (const Group& g : groups_)
    if (EqualsNoCase(g.name, name)) return &g;
  return nullptr;
}

const std::string* IniFile::Find(std::string_view group, std::string_view key) const {
  const Group* g = FindGroup(group);
  if (!g) return nullptr;
  for (const Entry& e : g->entries)
    if (EqualsNoCase(e.key, key)) return &e.value;
  return nullptr;
}

}  // namespace rastello

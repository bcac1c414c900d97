#pragma once
// Reader for the INI-style text files: the settings file, profiles and language files.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rastello {

class IniFile {
 public:
  struct Entry {
    std::string key;    // up to the first "=", trailing blanks and tabs removed
    std::string value;  // after the "=", blanks and tabs removed from both ends
  };
  struct Group {
    std::string name;
    std::vector<Entry> entries;  // in file order, duplicates kept
  };

  // Reads a file; nullopt when it cannot be opened or read (or is not a regular file of
  // sensible size).
  static std::optional<IniFile> Load(const std::string& path);
  // Parses file bytes: UTF-8 after a byte-order mark, else Latin-1; LF, CR or CR LF.
  static IniFile Parse(std::string_view bytes);

  // The first group of that name, compared without regard to case; null when absent.
  const Group* FindGroup(std::string_view name) const;
  // The first entry of `key` in the first group `group`; null when absent.
  const std::string* Find(std::string_view group, std::string_view key) const;

  const std::vector<Group>& groups() const { return groups_; }

 private:
  std::vector<Group> groups_;  // entries before the first group are dropped
};

}  // namespace rastello

#pragma once
// Interface texts looked up by group and key, from the built-in English data or a language file.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace rastello {

// One (key, text) pair of string data. A pair whose key is kGroupMarker opens the group named by
// its text; the pair whose key is kEndMarker ends the data.
struct StringPair {
  std::string_view key;
  std::string_view text;
};
inline constexpr std::string_view kGroupMarker = "_GROUP_";
inline constexpr std::string_view kEndMarker = "_END_";

// The text returned for a group or key the tables do not hold.
inline constexpr std::string_view kNoStringError = "%NO_STRING_ERROR%";

// The built-in English data: Menu, General, Msg, Dialog, Preferences, About, Custom-Converter,
// Uninstall, ended by a kEndMarker pair.
std::span<const StringPair> EnglishStrings();

// A set of tables built from string data, optionally overridden by a language file.
class StringTables {
 public:
  // Builds from the built-in data; when `languageFile` is not empty and opens, its values replace
  // the built-in texts key by key (groups and keys matched without regard to case; unknown keys
  // ignored).
  void Build(const std::string& languageFile);
  // The same from other data. Pairs before the first group marker belong to no group.
  void Build(std::span<const StringPair> data, const std::string& languageFile);

  // Group and key without regard to case; kNoStringError when missing.
  std::string Lookup(std::string_view group, std::string_view key);

  // Upper-case group names in data order.
  std::vector<std::string> GroupNames() const;
  // Number of entries of a group (without regard to case); 0 for a group the tables lack.
  size_t EntryCount(std::string_view group) const;

 private:
  struct Group {
    std::string name;  // upper case
    size_t first = 1;  // entries first..last of keys_ and texts_; last = first - 1 when empty
    size_t last = 0;
    // Per first byte of a key: index of the first key of the group starting with it, 0 if none.
    std::array<uint32_t, 256> firstByChar{};
  };

  size_t FindGroup(std::string_view upperName) const;  // 0 when absent
  void ApplyLanguageFile(const std::string& path);

  // Index 0 of every table is unused, so that 0 can mean "none".
  std::vector<std::string> keys_;   // upper case, sorted within each group
  std::vector<std::string> texts_;  // paired with keys_
  std::vector<Group> groups_;
  size_t cachedGroup_ = 0;  // group of the last lookup, 0 = none
};

// The process-wide tables used by both front ends.
int BuildStringTables(const std::string& languageFile);  // always returns 1
std::string LookupString(std::string_view group, std::string_view key);

}  // namespace rastello

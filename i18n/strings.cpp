#include "i18n/strings.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "settings/ini.h"
#include "settings/text.h"

namespace rastello {

void StringTables::Build(const std::string& languageFile) { Build(EnglishStrings(), languageFile); }

void StringTables::Build(std::span<const StringPair> data, const std::string& languageFile) {
  size_t groupCount = 0;
  size_t entryCount = 0;
  for (const StringPair& p : data) {
    if (p.key == kEndMarker) break;
    if (p.key == kGroupMarker)
      ++groupCount;
    else if (groupCount > 0)
      ++entryCount;
  }

  keys_.assign(1, std::string());
  texts_.assign(1, std::string());
  groups_.assign(1, Group());
  keys_.reserve(entryCount + 1);
  texts_.reserve(entryCount + 1);
  groups_.reserve(groupCount + 1);
  cachedGroup_ = 0;

  std::vector<std::pair<std::string, std::string_view>> entries;  // upper-case key, text
  entries.reserve(entryCount);
  for (const StringPair& p : data) {
    if (p.key == kEndMarker) break;
    if (p.key == kGroupMarker) {
      Group g;
      g.name = AsciiUpper(p.text);
      g.first = entries.size() + 1;
      g.last = entries.size();
      groups_.push_back(std::move(g));
    } else if (groups_.size() > 1) {
      entries.emplace_back(AsciiUpper(p.key), p.text);
      groups_.back().last = entries.size();
    }
  }

  for (size_t gi = 1; gi < groups_.size(); ++gi) {
    Group& g = groups_[gi];
    if (g.last < g.first) continue;
    // Entries of a group are 1-based; entries[] is 0-based. Equal keys (Preferences has "Medium"
    // twice) keep a fixed order by their texts.
    std::sort(entries.begin() + static_cast<std::ptrdiff_t>(g.first - 1),
              entries.begin() + static_cast<std::ptrdiff_t>(g.last));
  }
  for (auto& [key, text] : entries) {
    keys_.push_back(std::move(key));
    texts_.emplace_back(text);
  }

  for (size_t gi = 1; gi < groups_.size(); ++gi) {
    Group& g = groups_[gi];
    for (size_t k = g.first; k <= g.last; ++k) {
      if (keys_[k].empty()) continue;  // an empty key is never looked up
      unsigned char c = static_cast<unsigned char>(keys_[k][0]);
      if (g.firstByChar[c] == 0) g.firstByChar[c] = static_cast<uint32_t>(k);
    }
  }

  if (!languageFile.empty()) ApplyLanguageFile(languageFile);
}

void StringTables::ApplyLanguageFile(const std::string& path) {
  std::optional<IniFile> file = IniFile::Load(path);
  if (!file) return;
  for (size_t gi = 1; gi < groups_.size(); ++gi) {
    const Group& g = groups_[gi];
    if (g.last < g.first || !file->FindGroup(g.name)) continue;
    for (size_t k = g.first; k <= g.last; ++k)
      if (const std::string* value = file->Find(g.name, keys_[k])) texts_[k] = *value;
  }
}

size_t StringTables::FindGroup(std::string_view upperName) const {
  for (size_t gi = 1; gi < groups_.size(); ++gi)
    if (groups_[gi].name == upperName) return gi;
  return 0;
}

std::string StringTables::Lookup(std::string_view group, std::string_view key) {
  std::string upperGroup = AsciiUpper(group);
  if (cachedGroup_ == 0 || groups_[cachedGroup_].name != upperGroup)
    cachedGroup_ = FindGroup(upperGroup);
  if (cachedGroup_ == 0 || key.empty()) return std::string(kNoStringError);

  const Group& g = groups_[cachedGroup_];
  std::string upperKey = AsciiUpper(key);
  // Keys sharing a first byte are contiguous in the sorted range, so the scan starts at the first
  // of them and stops at the first greater key or at the group's end.
  size_t start = g.firstByChar[static_cast<unsigned char>(upperKey[0])];
  for (size_t k = start; k != 0 && k <= g.last; ++k) {
    int order = keys_[k].compare(upperKey);
    if (order == 0) return texts_[k];
    if (order > 0) break;
  }
  return std::string(kNoStringError);
}

std::vector<std::string> StringTables::GroupNames() const {
  std::vector<std::string> names;
  for (size_t gi = 1; gi < groups_.size(); ++gi) names.push_back(groups_[gi].name);
  return names;
}

size_t StringTables::EntryCount(std::string_view group) const {
  size_t gi = FindGroup(AsciiUpper(group));
  return gi == 0 ? 0 : groups_[gi].last + 1 - groups_[gi].first;
}

namespace {

StringTables& ProcessTables() {
  static StringTables tables;
  return tables;
}

}  // namespace

int BuildStringTables(const std::string& languageFile) {
  ProcessTables().Build(languageFile);
  return 1;
}

std::string LookupString(std::string_view group, std::string_view key) {
  return ProcessTables().Lookup(group, key);
}

}  // namespace rastello

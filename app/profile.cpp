#include "app/profile.h"

#include "app/options.h"
#include "settings/ini.h"
#include "settings/text.h"

namespace rastello {

bool ApplyProfile(Settings& settings, const std::string& path) {
  if (path.empty()) return false;
  std::optional<IniFile> file = IniFile::Load(path);
  if (!file) return false;
  const IniFile::Group* group = file->FindGroup("CLI");
  if (!group) return true;
  // Entries apply in file order, so a key given twice ends with its later value.
  for (const IniFile::Entry& entry : group->entries) {
    const OptionInfo* option = FindOption(AsciiUpper(entry.key), kProfile);
    if (!option) continue;
    std::string value = entry.value;
    // Text values keep their quotes, but for the mask, which would otherwise name files
    // with quote characters.
    if (option->field == SettingField(&Settings::FilenameMask)) {
      while (!value.empty() && value.front() == '"') value.erase(0, 1);
      while (!value.empty() && value.back() == '"') value.pop_back();
    }
    ApplyOption(settings, *option, value);
  }
  return true;
}

}  // namespace rastello

#pragma once
// The option words of the command line and of profile files, with the setting(s) each sets.
#include <cstdint>
#include <string_view>
#include <vector>

#include "settings/settings.h"

namespace rastello {

enum class OptionKind { Integer, Float, Word, Text, Switch };

enum OptionScope : unsigned { kCommandLine = 1, kProfile = 2, kBothScopes = 3 };

struct OptionInfo {
  const char* word;  // upper case, with its "--"
  OptionKind kind;
  SettingField field;
  int vocabulary = -1;                  // for Word options
  int8_t Settings::*also = nullptr;     // a second setting the option sets...
  int8_t alsoValue = 1;                 // ...to this value
  int8_t switchValue = 1;               // what a Switch stores in its field
  unsigned scope = kBothScopes;
};

// The value options and switches (not the front-end options such as -i or --profile).
const std::vector<OptionInfo>& OptionTable();
// `word` in upper case; null when it is no option of that scope.
const OptionInfo* FindOption(std::string_view word, OptionScope scope);
// Converts `value` by the option's kind and stores it, with any second setting. Text values
// arrive already unquoted; a Switch ignores its value.
void ApplyOption(Settings& settings, const OptionInfo& option, std::string_view value);

}  // namespace rastello

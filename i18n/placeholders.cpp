#include "i18n/placeholders.h"

#include "settings/text.h"

namespace rastello {

std::string FillPlaceholders(std::string_view message, std::string_view s1, std::string_view s2,
                             std::string_view s3, std::string_view s4) {
  std::string result(message);
  const std::string_view texts[] = {s1, s2, s3, s4};
  const char* const holders[] = {"%s1%", "%s2%", "%s3%", "%s4%"};
  for (int i = 0; i < 4; ++i)
    if (!texts[i].empty()) result = ReplaceAllNoCase(result, holders[i], texts[i]);
  return result;
}

}  // namespace rastello

#include "app/identity.h"

namespace rastello {

std::string VersionText(int version) {
  std::string text = std::to_string(version);
  text.insert(text.size() < 1 ? text.size() : 1, ".");
  text.insert(text.size() < 3 ? text.size() : 3, ".");
  if (!text.empty() && text.back() == '0') text.resize(3);
  return text;
}

std::string ProgramTitle(std::string_view displayName, int version) {
  return std::string(displayName) + " " + VersionText(version);
}

}  // namespace rastello

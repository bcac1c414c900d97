#pragma once
#include <string>
#include <vector>

namespace rastello {

// The lines of the help text, placeholders filled.
std::vector<std::string> HelpLines();
// The banner a command-line run prints first.
std::vector<std::string> BannerLines();

}  // namespace rastello

#pragma once
#include <string>

namespace rastello {

struct Settings;

// Applies the [CLI] group of a profile file: each key a long option word, each value taken
// as that option takes it. False only when the path is empty or the file cannot be read.
bool ApplyProfile(Settings& settings, const std::string& path);

}  // namespace rastello

#pragma once
// The program's name and version as every front end shows them.
#include <string>
#include <string_view>

namespace rastello {

inline constexpr const char* kDisplayName = "Tessaly PNG to JPG";
inline constexpr const char* kShortName = "rastello";
inline constexpr int kProgramVersion = 330;

// 330 gives "3.3", 331 "3.3.1", 300 "3.0".
std::string VersionText(int version);
// Display name, a blank and the version text: "Tessaly PNG to JPG 3.3".
std::string ProgramTitle(std::string_view displayName = kDisplayName, int version = kProgramVersion);

}  // namespace rastello

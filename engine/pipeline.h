#pragma once

namespace rastello {

struct Session;

// Converts the file named by InputPath and saves it under the name the mask gives.
// True when the output was written; otherwise RunState::FailureReason says why.
bool ConvertFile(Session& session);

// Largest image converted: the JPEG writer's side limit and a bound on memory.
inline constexpr long long kMaxSide = 65500;
inline constexpr long long kMaxPixels = 500LL * 1000 * 1000;

}  // namespace rastello

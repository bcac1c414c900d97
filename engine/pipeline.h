#pragma once

namespace rastello {

struct Session;

// Converts the file named by InputPath and saves it under the name the mask gives.
// True when the output was written; otherwise RunState::FailureReason says why. Plain
// conversions stream; everything else goes through ConvertBitmap.
bool ConvertFile(Session& session);
// The whole pipeline on a FreeImage bitmap: load, every step, depth, save.
bool ConvertBitmap(Session& session);

// Largest image converted: the JPEG writer's side limit and a bound on memory.
inline constexpr long long kMaxSide = 65500;
inline constexpr long long kMaxPixels = 500LL * 1000 * 1000;

}  // namespace rastello

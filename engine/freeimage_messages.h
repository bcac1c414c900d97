#pragma once
// FreeImage reports errors through one process-wide callback; the text is kept per thread.
#include <string>

namespace rastello {

void InstallFreeImageMessages();  // idempotent
void ClearFreeImageMessage();
// The last message FreeImage gave on this thread since the last clear, or "".
std::string FreeImageMessage();

}  // namespace rastello

#include "engine/freeimage_messages.h"

#include <FreeImage.h>

#include <mutex>

namespace rastello {

namespace {

thread_local std::string lastMessage;

void OnMessage(FREE_IMAGE_FORMAT, const char* message) { lastMessage = message ? message : ""; }

}  // namespace

void InstallFreeImageMessages() {
  static std::once_flag once;
  std::call_once(once, [] { FreeImage_SetOutputMessage(OnMessage); });
}

void ClearFreeImageMessage() { lastMessage.clear(); }

std::string FreeImageMessage() { return lastMessage; }

}  // namespace rastello

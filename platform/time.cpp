#include "platform/time.h"

#include <chrono>

namespace rastello {

int64_t LocalSecondsFromTime(std::time_t t) {
  std::tm local{};
  localtime_r(&t, &local);
  return static_cast<int64_t>(timegm(&local));
}

std::time_t TimeFromLocalSeconds(int64_t localSeconds) {
  std::time_t t = static_cast<std::time_t>(localSeconds);
  std::tm broken{};
  gmtime_r(&t, &broken);
  broken.tm_isdst = -1;  // let the zone rules decide
  return mktime(&broken);
}

int64_t MonotonicMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::tm LocalNow() {
  std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  return local;
}

}  // namespace rastello

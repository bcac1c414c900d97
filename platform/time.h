#pragma once
#include <cstdint>
#include <ctime>

namespace rastello {

// Stored dates count seconds since 1970-01-01 00:00:00 in local time, not UTC.
int64_t LocalSecondsFromTime(std::time_t t);
std::time_t TimeFromLocalSeconds(int64_t localSeconds);

// Milliseconds of a monotonic clock.
int64_t MonotonicMs();

// The current local date and time, broken down.
std::tm LocalNow();

}  // namespace rastello

#pragma once
#include <string>

namespace rastello {

// The system-wide lock that keeps one window open at a time. The window takes it
// exclusively; command-line conversions take it shared, so they can run side by side
// but not while the window is open (and the window not while they run).
class InstanceLock {
 public:
  enum class Mode { Exclusive, Shared };

  InstanceLock() = default;
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;
  ~InstanceLock() { Release(); }

  enum class Result {
    Acquired,
    Busy,         // another process holds it in a conflicting mode
    Unavailable,  // the lock file cannot be opened (no folder, no permission)
  };
  // Never waits.
  Result Acquire(const std::string& name, Mode mode);
  void Release();

  // $XDG_RUNTIME_DIR/<name>.lock, or /tmp/<name>.lock.
  static std::string LockPath(const std::string& name);

 private:
  int fd_ = -1;
};

}  // namespace rastello

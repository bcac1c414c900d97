#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace rastello {

std::string InstanceLock::LockPath(const std::string& name) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string folder = (runtime && *runtime) ? runtime : "/tmp";
  if (folder.back() != '/') folder += '/';
  return folder + name + ".lock";
}

InstanceLock::Result InstanceLock::Acquire(const std::string& name, Mode mode) {
  Release();
  // Read-only is enough for flock, and lets another user's lock file in /tmp be honoured.
  int fd = ::open(LockPath(name).c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return Result::Unavailable;
  if (::flock(fd, (mode == Mode::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
    ::close(fd);
    return errno == EWOULDBLOCK ? Result::Busy : Result::Unavailable;
  }
  fd_ = fd;
  return Result::Acquired;
}

void InstanceLock::Release() {
  if (fd_ >= 0) {
    ::close(fd_);  // closing drops the lock
    fd_ = -1;
  }
}

}  // namespace rastello

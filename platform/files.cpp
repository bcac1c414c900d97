#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/time.h"

namespace rastello {

namespace {

std::string SystemError(const char* what, int err) { return std::string(what) + ": " + std::strerror(err); }

}  // namespace

int64_t FileSize(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return -1;
  if (S_ISDIR(st.st_mode)) return -2;
  if (!S_ISREG(st.st_mode)) return -3;
  return static_cast<int64_t>(st.st_size);
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateFolder(const std::string& path) { return ::mkdir(path.c_str(), 0777) == 0 || IsFolder(path); }

std::string FolderPart(std::string_view path) {
  size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string FilePart(std::string_view path) {
  size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string ProgramFolder() {
  std::vector<char> buf(4096);
  ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return "./";
  return FolderPart(std::string_view(buf.data(), static_cast<size_t>(n)));
}

std::string CurrentFolder() {
  std::vector<char> buf(4096);
  while (::getcwd(buf.data(), buf.size()) == nullptr) {
    if (errno != ERANGE) return "./";
    buf.resize(buf.size() * 2);
  }
  std::string folder(buf.data());
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

int64_t FileDate(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return 0;
  return LocalSecondsFromTime(st.st_mtim.tv_sec);
}

bool SetFileDate(const std::string& path, int64_t localSeconds) {
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;  // access time stays
  times[1].tv_sec = TimeFromLocalSeconds(localSeconds);
  times[1].tv_nsec = 0;
  return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

bool WriteFileAtomically(const std::string& path, const void* data, size_t size, std::string& error) {
  static std::atomic<unsigned> counter{0};
  // A rename would get past a file its owner made read-only, which a plain write would not.
  struct stat st;
  bool replacing = ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  if (replacing && ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
    error = SystemError("cannot replace the output file", errno);
    return false;
  }
  std::string folder = FolderPart(path);
  // Hidden and unique per process and call, so parallel writers never share a temporary;
  // the name part is cut so that a target name near the limit still leaves room.
  std::string stem = "." + FilePart(path).substr(0, 200) + "." + std::to_string(::getpid()) + "-";
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = folder + stem + std::to_string(counter++) + ".tmp";
    // 0666 lets the umask decide the mode, as a plain create would.
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    error = SystemError("cannot create a file in the output folder", errno);
    return false;
  }
  auto fail = [&](const char* what, int err) {
    if (fd >= 0) ::close(fd);
    ::unlink(temp.c_str());
    error = SystemError(what, err);
    return false;
  };

  if (replacing && ::fchmod(fd, st.st_mode & 07777) != 0) return fail("cannot set the file mode", errno);

  const char* p = static_cast<const char*>(data);
  size_t left = size;
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail("cannot write the output file", errno);
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0) return fail("cannot write the output file", errno);
  int closed = ::close(fd);
  fd = -1;
  if (closed != 0) return fail("cannot write the output file", errno);
  if (::rename(temp.c_str(), path.c_str()) != 0) return fail("cannot replace the output file", errno);
  return true;
}

}  // namespace rastello

#pragma once
#include <string>
#include <vector>

namespace rastello::test {

// A fresh folder for one test, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }  // ends in "/"
  std::string operator/(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
// Names in a folder, without "." and "..", sorted.
std::vector<std::string> ListFolder(const std::string& path);

}  // namespace rastello::test

// A private directory for one test, removed with everything in it.
#pragma once

#include <string>

namespace vant::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // Writes `text` to the file `name` in the directory and returns its path;
  // `mode` as for chmod (0755 for a script).
  std::string write_file(const std::string& name, const std::string& text, unsigned mode = 0644);
  bool contains(const std::string& name) const;

 private:
  std::string path_;
};

}  // namespace vant::test

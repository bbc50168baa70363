#include "tests/support/temp_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace vant::test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vant-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::write_file(const std::string& name, const std::string& text, unsigned mode) {
  const std::string file = path_ + "/" + name;
  std::ofstream(file) << text;
  chmod(file.c_str(), mode);
  return file;
}

bool TempDir::contains(const std::string& name) const {
  return access((path_ + "/" + name).c_str(), F_OK) == 0;
}

}  // namespace vant::test

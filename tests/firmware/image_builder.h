// Builds firmware image files for the tests: 400-byte headers laid out as the
// modem's image files store them, and a temporary directory to put them in.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vant::test {

struct HeaderFields {
  std::string type = "BOOT";
  std::string product = "9X15";
  uint32_t revision = 3;
  uint32_t length = 0;
  std::string version = "SWI9X15_05.05.58.00_BOOT_0_1_2_3";
  std::string date = "20240131";
  uint8_t byte380 = 0;
  std::vector<uint8_t> trailing = {};  // raw bytes for offsets 384 to 395
  uint32_t validity = 1;
  uint32_t word256 = 0, word264 = 0, word280 = 0, word376 = 0;
  std::string leading = "";
};

using Bytes = std::vector<uint8_t>;

Bytes header_bytes(const HeaderFields& fields);

// A header followed by `body` bytes; the header's length field is not changed.
Bytes image(const HeaderFields& fields, const Bytes& body = {});

Bytes operator+(Bytes a, const Bytes& b);

// A fresh directory under the system's temporary directory, removed with its
// contents when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string write(const std::string& name, const Bytes& content) const;

 private:
  std::filesystem::path path_;
};

}  // namespace vant::test

#include "tests/firmware/image_builder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace vant::test {
namespace {

void put_be32(Bytes& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = uint8_t(value >> (24 - 8 * i));
}

void put_text(Bytes& out, size_t at, const std::string& text, size_t field) {
  std::memcpy(out.data() + at, text.data(), std::min(text.size(), field));
}

}  // namespace

Bytes header_bytes(const HeaderFields& fields) {
  Bytes out(400, 0);
  put_text(out, 0, fields.leading, 256);
  put_be32(out, 256, fields.word256);
  put_be32(out, 260, fields.revision);
  put_be32(out, 264, fields.word264);
  put_text(out, 268, fields.type, 4);
  put_text(out, 272, fields.product, 4);
  put_be32(out, 276, fields.length);
  put_be32(out, 280, fields.word280);
  put_text(out, 284, fields.version, 84);
  put_text(out, 368, fields.date, 8);
  put_be32(out, 376, fields.word376);
  out[380] = fields.byte380;
  std::copy_n(fields.trailing.begin(), std::min<size_t>(fields.trailing.size(), 12), out.begin() + 384);
  put_be32(out, 396, fields.validity);
  return out;
}

Bytes image(const HeaderFields& fields, const Bytes& body) {
  return header_bytes(fields) + body;
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vant-fw-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::write(const std::string& name, const Bytes& content) const {
  const std::filesystem::path file = path_ / name;
  std::ofstream(file, std::ios::binary)
      .write(reinterpret_cast<const char*>(content.data()), std::streamsize(content.size()));
  return file.string();
}

}  // namespace vant::test

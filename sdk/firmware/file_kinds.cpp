// Recognising image files by name, and what a path names: one file or a
// directory of at most two entries.
#include <array>
#include <cstring>
#include <string_view>

#include "sdk/firmware/firmware_log.h"
#include "sdk/firmware/posix_files.h"
#include "vantsdk/firmware.h"
#include "vantsdk/result_codes.h"

namespace vant {
namespace {

constexpr char kFunction[] = "FileExistAndValid";

enum class FileKind { kNotImage, kMbn, kCwe, kSpk, kNvu };

struct KindRow {
  std::string_view marker;
  FileKind kind;
  uint8_t bit;
  const char* label;
};

// In rising precedence: when a name holds several markers, the last row that
// matches decides, so "x.mbn.cwe" is a CWE image and "x.cwe.nvu" an NVU image.
constexpr std::array<KindRow, 4> kKinds = {{
    {".mbn", FileKind::kMbn, 0, "FW_TYPE_INVALID"},
    {".cwe", FileKind::kCwe, kFirmwareKindCwe, "FW_TYPE_CWE"},
    {".spk", FileKind::kSpk, kFirmwareKindSpk, "FW_TYPE_SPK"},
    {".nvu", FileKind::kNvu, kFirmwareKindNvu, "FW_TYPE_NVU"},
}};

constexpr KindRow kNotImage = {"", FileKind::kNotImage, 0, "FW_TYPE_INVALID"};

const KindRow& classify_name(std::string_view name) {
  const KindRow* found = &kNotImage;
  for (const KindRow& row : kKinds) {
    if (name.find(row.marker) != std::string_view::npos) found = &row;
  }
  return *found;
}

bool is_dot_entry(std::string_view name) {
  return name == "." || name == "..";
}

// Appends name to the directory path held in buffer, with a "/" between them
// when the path lacks one. False, with the buffer unchanged, when the result
// would not fit.
bool append_entry(char* buffer, std::string_view name) {
  const size_t used = strnlen(buffer, kFirmwarePathBufferSize);
  const bool needs_slash = used > 0 && buffer[used - 1] != '/';
  if (used + (needs_slash ? 1 : 0) + name.size() >= kFirmwarePathBufferSize) return false;
  char* end = buffer + used;
  if (needs_slash) *end++ = '/';
  std::memcpy(end, name.data(), name.size());
  end[name.size()] = '\0';
  return true;
}

// Reads the directory's entries; the first two are kept in the two buffers
// when they are image files. 0 or a result code; *entries counts every entry.
uint32_t scan_directory(DirectoryReader& dir, char* buffers[2], uint8_t* kinds, size_t* entries) {
  while (const char* entry = dir.next()) {
    const std::string_view name(entry);
    if (is_dot_entry(name)) continue;
    ++*entries;
    const KindRow& kind = classify_name(name);
    if (kind.kind == FileKind::kNotImage) continue;
    if (kind.kind == FileKind::kMbn) {
      firmware_log("%s: FW_TYPE_INVALID\n", kFunction);
      return kNoFirmwareImage;
    }
    *kinds |= kind.bit;
    if (*entries <= 2 && !append_entry(buffers[*entries - 1], name)) {
      firmware_log("%s: path too long\n", kFunction);
      return kMemoryError;
    }
  }
  return kSuccess;
}

void classify_single_file(const char* path, uint8_t* kinds) {
  const std::string_view whole(path);
  const size_t slash = whole.rfind('/');
  const std::string_view name = slash == std::string_view::npos ? whole : whole.substr(slash + 1);
  const KindRow& kind = classify_name(name);
  firmware_log("%s: %s\n", kFunction, kind.label);
  *kinds = kind.bit;
}

uint32_t judge_entry_count(uint8_t kinds, size_t entries) {
  switch (entries) {
    case 0:
      firmware_log("%s: invalid file path\n", kFunction);
      return kNoFirmwareImage;
    case 1:
      if (kinds != 0) {
        firmware_log("%s: Single CWE, NVU or SPK type: %d, count: %d\n", kFunction, int(kinds),
                     int(entries));
      }
      return kSuccess;
    case 2:
      if (kinds == (kFirmwareKindCwe | kFirmwareKindNvu)) {
        firmware_log("%s: FW_TYPE_CWE_NVU\n", kFunction);
      }
      return kSuccess;
    default:
      firmware_log("%s: too many files\n", kFunction);
      return kTooManyFirmwareFiles;
  }
}

}  // namespace
}  // namespace vant

uint32_t FileExistAndValid(char* first_path, char* second_path, uint8_t* kinds, uint8_t* count) {
  using namespace vant;
  if (!first_path || !second_path || !kinds || !count) return kInvalidArgument;
  *kinds = 0;
  size_t entries = 0;
  DirectoryReader dir(first_path);
  if (dir.is_open()) {
    char* buffers[2] = {first_path, second_path};
    if (const uint32_t rc = scan_directory(dir, buffers, kinds, &entries)) return rc;
  } else {
    // Whether the file exists is found out when it is opened for reading.
    classify_single_file(first_path, kinds);
    entries = 1;
  }
  *count = entries > 0xFF ? 0xFF : uint8_t(entries);
  return judge_entry_count(*kinds, entries);
}

// Reading every image header of the files at a path into records.
#include <array>
#include <cstring>

#include "sdk/firmware/firmware_log.h"
#include "sdk/firmware/image_types.h"
#include "sdk/firmware/posix_files.h"
#include "vantsdk/firmware.h"
#include "vantsdk/result_codes.h"

namespace vant {
namespace {

using PathBuffer = std::array<char, kFirmwarePathBufferSize>;

// Copies path into buffer, with "/" appended when it names a directory, so
// that entry names can be appended later. False when that does not fit.
bool load_path(PathBuffer& buffer, const char* path) {
  const size_t length = strnlen(path, buffer.size());
  if (length >= buffer.size()) return false;
  buffer.fill('\0');
  std::memcpy(buffer.data(), path, length);
  if (length > 0 && path[length - 1] != '/' && is_openable_directory(path)) {
    if (length + 1 >= buffer.size()) return false;
    buffer[length] = '/';
  }
  return true;
}

struct RecordSink {
  ImageHeader* headers;
  FirmwareImageInfo* records;
  uint8_t kinds;
  size_t count;
};

// Records one usable header when its type is recorded. 0 or a result code:
// a usable header of any type beyond the last record is refused.
uint32_t record_header(const ImageHeader& header, uint32_t type, const char* path,
                       RecordSink& sink) {
  if (sink.count == kFirmwareMaxImages) return kInternalError;
  if (!image_type_recorded(type)) return kSuccess;
  FirmwareImageInfo& record = sink.records[sink.count];
  sink.headers[sink.count] = header;
  if (!fill_in_firmware_info(&header, sink.kinds, &record)) return kInternalError;
  // The path buffers hold at most 255 characters; the record's field is larger.
  std::memcpy(record.path, path, strnlen(path, kFirmwarePathBufferSize - 1));
  ++sink.count;
  return kSuccess;
}

// Reads header after header until the file ends. 0 or a result code.
uint32_t parse_file(const char* path, RecordSink& sink) {
  FileReader file(path);
  if (!file.is_open()) {
    firmware_log("input file[%s] invalid!\n", path);
    return kNoFirmwareImage;
  }
  std::array<uint8_t, kImageHeaderSize> raw{};
  while (file.read_exact(raw)) {
    ImageHeader header;
    const bool usable = decode_image_header(raw.data(), &header) == 1;
    uint32_t type = kImageTypeOther;
    image_type_index(header.imageType, &type);
    if (usable) {
      if (const uint32_t rc = record_header(header, type, path, sink)) return rc;
    }
    // Decided by the header just read: an unusable header is an APPL one,
    // which never has a body to pass over.
    if (image_body_follows(type) && !file.skip(header.imageLength)) break;
  }
  return kSuccess;
}

}  // namespace
}  // namespace vant

uint32_t parsefirmwarefile(const char* path, ImageHeader* headers, FirmwareImageInfo* records,
                           uint8_t* count) {
  using namespace vant;
  if (!path || !headers || !records || !count) return kInvalidArgument;
  PathBuffer first{}, second{};
  if (!load_path(first, path) || !load_path(second, path)) {
    firmware_log("%s: path too long\n", "parsefirmwarefile");
    return kMemoryError;
  }
  uint8_t entries = 0;
  RecordSink sink{headers, records, 0, 0};
  if (const uint32_t rc = FileExistAndValid(first.data(), second.data(), &sink.kinds, &entries)) {
    firmware_log("file %s does not exist\n", path);
    return rc;
  }
  const char* files[2] = {first.data(), second.data()};
  for (size_t i = 0; i < entries && i < 2; ++i) {
    if (const uint32_t rc = parse_file(files[i], sink)) return rc;
    *count = uint8_t(sink.count);
  }
  return kSuccess;
}

uint32_t GetFirmwareFileInfo(const char* path, FirmwareImageInfo* records, uint8_t* count) {
  if (!path || !records || !count) return vant::kInvalidArgument;
  std::array<ImageHeader, vant::kFirmwareMaxImages> scratch{};
  return parsefirmwarefile(path, scratch.data(), records, count);
}

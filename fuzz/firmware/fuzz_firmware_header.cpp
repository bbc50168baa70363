// Feeds arbitrary bytes as a firmware image file: the first 400 bytes go to
// the header decoder and the record filler directly, and the whole input is
// written to an image file once per input and parsed from its path, so the
// header walk (passing over bodies, record limits, version splitting) sees
// every length the fuzzer can make.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "sdk/firmware/firmware_log.h"
#include "sdk/firmware/package_version.h"
#include "vantsdk/firmware.h"

namespace {

std::string g_dir;
std::string g_file;

void remove_scratch() {
  unlink(g_file.c_str());
  rmdir(g_dir.c_str());
}

void ignore_line(const char*) {}

void prepare_once() {
  if (!g_dir.empty()) return;
  // A memory-backed directory where there is one: rewriting a disk file on
  // every input makes the file system flush it, which costs milliseconds.
  std::string pattern =
      std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/vant-fuzz-fw-XXXXXX";
  if (!mkdtemp(pattern.data())) std::abort();
  g_dir = pattern;
  g_file = g_dir + "/fw.cwe";
  std::atexit(remove_scratch);
  vant::set_firmware_log_sink(ignore_line);
}

void decode_directly(const uint8_t* data, size_t size) {
  // Exactly 400 bytes on the heap, so a read past the header is caught.
  const auto raw = std::make_unique<uint8_t[]>(vant::kImageHeaderSize);
  std::memcpy(raw.get(), data, size < vant::kImageHeaderSize ? size : vant::kImageHeaderSize);
  ImageHeader header;
  if (decode_image_header(raw.get(), &header) != 1) return;
  FirmwareImageInfo record;
  if (fill_in_firmware_info(&header, 0, &record) == 1) {
    // Every text of a filled record must end inside its field.
    if (!std::memchr(record.version, 0, sizeof record.version)) std::abort();
    if (!std::memchr(record.versionToken1, 0, sizeof record.versionToken1)) std::abort();
    if (!std::memchr(record.date, 0, sizeof record.date)) std::abort();
  }
}

void parse_as_file(const uint8_t* data, size_t size) {
  const int fd = open(g_file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) std::abort();
  for (size_t done = 0; done < size;) {
    const ssize_t n = pwrite(fd, data + done, size - done, off_t(done));
    if (n <= 0) std::abort();
    done += size_t(n);
  }
  if (ftruncate(fd, off_t(size)) != 0) std::abort();
  close(fd);
  FirmwareImageInfo records[vant::kFirmwareMaxImages];
  uint8_t count = 0;
  if (GetFirmwareFileInfo(g_file.c_str(), records, &count) == 0 &&
      count > vant::kFirmwareMaxImages) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  prepare_once();
  vant::reset_package_version_for_testing();
  decode_directly(data, size);
  parse_as_file(data, size);
  return 0;
}

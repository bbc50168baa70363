#include "sdk/firmware/posix_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace vant {

DirectoryReader::DirectoryReader(const char* path) : open_(os_dir_open(path, &handle_) == 1) {}

DirectoryReader::~DirectoryReader() {
  os_dir_close(&handle_);
}

const char* DirectoryReader::next() {
  if (!open_ || os_dir_read(&handle_) != 1) return nullptr;
  return handle_.entry->d_name;
}

bool is_openable_directory(const char* path) {
  return DirectoryReader(path).is_open();
}

// Opened without blocking, so that a FIFO with no writer cannot stall the
// parser; only regular files are read at all, since a device such as
// /dev/zero would yield headers without end.
FileReader::FileReader(const char* path) : fd_(open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {
  struct stat status;
  regular_ = fd_ >= 0 && fstat(fd_, &status) == 0 && S_ISREG(status.st_mode);
}

FileReader::~FileReader() {
  if (fd_ >= 0) close(fd_);
}

bool FileReader::read_exact(std::span<uint8_t> out) {
  if (!regular_) return false;
  size_t done = 0;
  while (done < out.size()) {
    const ssize_t n = read(fd_, out.data() + done, out.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

bool FileReader::skip(uint32_t bytes) {
  return lseek(fd_, off_t(bytes), SEEK_CUR) >= 0;
}

}  // namespace vant

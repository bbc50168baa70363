// Thin owners of an open directory (through the OS services layer) and an
// open file, so that every early return of the parser closes what it opened.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "sdk/core/os_services.h"

namespace vant {

class DirectoryReader {
 public:
  explicit DirectoryReader(const char* path);
  ~DirectoryReader();
  DirectoryReader(const DirectoryReader&) = delete;
  DirectoryReader& operator=(const DirectoryReader&) = delete;

  bool is_open() const { return open_; }
  // The next entry's name, "." and ".." included; nullptr at the end.
  const char* next();

 private:
  OsDirHandle handle_;
  bool open_;
};

// True when path names a directory that can be opened.
bool is_openable_directory(const char* path);

class FileReader {
 public:
  explicit FileReader(const char* path);
  ~FileReader();
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;

  bool is_open() const { return fd_ >= 0; }
  // Fills out completely; false when the file ends first, cannot be read or
  // is not a regular file (a directory or a device holds no header).
  bool read_exact(std::span<uint8_t> out);
  // Moves the read position forward; false when the file cannot seek.
  bool skip(uint32_t bytes);

 private:
  int fd_;
  bool regular_;
};

}  // namespace vant

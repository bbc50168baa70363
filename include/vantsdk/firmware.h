// Firmware image files: which image files a path names, and what the 400-byte
// image headers inside them say.
//
// Typical use, before a firmware download:
//
//   FirmwareImageInfo images[vant::kFirmwareMaxImages];
//   uint8_t count = 0;
//   uint32_t rc = GetFirmwareFileInfo("/tmp/fw/", images, &count);
//   // rc == 0: images[0 .. count-1] describe every recorded image, in file order.
//
// A path names either one image file or a directory holding at most two
// entries. The kind of a file comes from its name (".cwe", ".nvu", ".spk"; an
// ".mbn" file is refused). Every header in a file is read in turn; the body of
// an image is passed over when its type says one follows the header.
//
// Result codes (vantsdk/result_codes.h):
//   0       success (also for a file without any header: count is then 0)
//   4       a null argument
//   3       the path, with "/" and a directory entry's name appended, does not fit
//           in 255 characters (nothing is truncated)
//   0xE803  an empty directory, a directory holding an .mbn file, a file that
//           cannot be opened
//   0xE812  a directory holding more than two entries
//   2       a 26th record would be needed, or a header whose version text cannot
//           be recorded (a "_" field of 21 characters or more, a version that
//           fills its whole 84-byte field, a package version that cannot be
//           completed)
// On a failure the records filled so far and the count stored so far stay as
// they are; the count is stored after each file has been read to its end.
//
// Diagnostics go to syslog (facility user, level debug), for example
// "file %s does not exist", "input file[%s] invalid!", and from
// FileExistAndValid "FileExistAndValid: FW_TYPE_CWE", "...: FW_TYPE_NVU",
// "...: FW_TYPE_SPK", "...: FW_TYPE_INVALID", "...: FW_TYPE_CWE_NVU",
// "...: Single CWE, NVU or SPK type: <mask>, count: <n>", "...: too many files",
// "...: invalid file path", "...: path too long". The two package-version
// errors are printed on standard output.
//
// Thread safety: every function may be called from any thread; the package
// version is process-wide and guarded internally.
#pragma once

#include <cstddef>
#include <cstdint>

// What this header declares is the library's interface: the shared library
// exports it and hides everything else.
#pragma GCC visibility push(default)

namespace vant {

inline constexpr size_t kFirmwareMaxImages = 25;        // records (and header slots) per call
inline constexpr size_t kFirmwarePathBufferSize = 256;  // FileExistAndValid's path buffers
inline constexpr size_t kFirmwareRecordPathSize = 512;
inline constexpr size_t kImageHeaderSize = 400;
inline constexpr size_t kImageLeadingBlockSize = 256;
inline constexpr size_t kImageVersionSize = 84;
inline constexpr size_t kImageDateSize = 8;
inline constexpr size_t kRecordDateSize = 10;
inline constexpr size_t kVersionTokenSize = 21;  // 20 characters and a terminator
inline constexpr size_t kImageProductTextSize = 5;

// Bits of the kinds mask.
inline constexpr uint8_t kFirmwareKindCwe = 1;
inline constexpr uint8_t kFirmwareKindNvu = 2;
inline constexpr uint8_t kFirmwareKindSpk = 4;

// Indexes of the image type table; FirmwareImageInfo::imageType holds one.
inline constexpr uint32_t kImageTypeBoot = 0;   // "BOOT"
inline constexpr uint32_t kImageTypeAppl = 1;   // "APPL", never recorded
inline constexpr uint32_t kImageTypeApps = 2;   // "APPS"
inline constexpr uint32_t kImageTypeFile = 3;   // "FILE", feeds the package version
inline constexpr uint32_t kImageTypeSpkg = 4;   // "SPKG"
inline constexpr uint32_t kImageTypeModm = 5;   // "MODM"
inline constexpr uint32_t kImageTypeUser = 6;   // "USER"
inline constexpr uint32_t kImageTypeKeys = 7;   // "KEYS"
inline constexpr uint32_t kImageTypeOther = 8;  // any other code, never recorded

}  // namespace vant

// One decoded 400-byte image header, numbers in host order. Type and product
// are the big-endian value of their four characters ("BOOT" is 0x424F4F54).
// version and date are copied raw and need not be terminated.
struct ImageHeader {
  char
      leadingBlock[vant::kImageLeadingBlockSize];  // first 255 bytes of the file's block; last is 0
  uint32_t word256;
  uint32_t word264;
  uint32_t imageType;
  uint32_t product;
  uint32_t imageLength;  // bytes of image body after the header
  uint32_t word280;
  char version[vant::kImageVersionSize];
  char date[vant::kImageDateSize];
  uint32_t word376;
  uint8_t byte380;   // 0 unless the header revision is 3 or more
  uint32_t word384;  // little-endian in the file from revision 2, big-endian before
  uint32_t word388;
  uint32_t word392;
  uint32_t validity;  // an APPL image is usable only when this is 1
};

// One recorded image. Every text is terminated within its field.
struct FirmwareImageInfo {
  char path[vant::kFirmwareRecordPathSize];  // the file holding the image
  uint8_t fileKinds;                         // kinds mask found at the given path
  uint32_t imageType;                        // vant::kImageType*
  uint32_t packageVersionState;              // FILE images: PackageVersion's state after it; else 0
  // "_" fields 3, 2, 1, 8, 6 and 7 of the version; FILE and SPKG images only.
  char versionToken3[vant::kVersionTokenSize];
  char versionToken2[vant::kVersionTokenSize];
  char versionToken1[vant::kVersionTokenSize];
  char versionToken8[vant::kVersionTokenSize];
  char versionToken6[vant::kVersionTokenSize];
  char versionToken7[vant::kVersionTokenSize];
  char version[vant::kImageVersionSize];  // the whole version text
  char date[vant::kRecordDateSize];
};

// The process-wide package version assembled from FILE images.
// state: 0 nothing taken in; 1 built from a version whose first field is a
// placeholder; 2 built from a version whose first field has a value; 3 completed
// from a second version (final). It lives as long as the process.
struct PackageVersion {
  char text[vant::kImageVersionSize];  // terminated
  bool built;
  uint32_t state;
};

// Fills records (room for vant::kFirmwareMaxImages) from the image files at
// path and stores their number in *count. Uses its own scratch header array.
uint32_t GetFirmwareFileInfo(const char* path, FirmwareImageInfo* records, uint8_t* count);

// As GetFirmwareFileInfo with the caller's scratch array: headers and records
// both need room for vant::kFirmwareMaxImages; headers[i] receives the decoded
// header of records[i].
uint32_t parsefirmwarefile(const char* path, ImageHeader* headers, FirmwareImageInfo* records,
                           uint8_t* count);

// Looks at the path held in both buffers (vant::kFirmwarePathBufferSize bytes
// each). For a directory, the names of its first two entries that are image
// files are appended to the first and the second buffer by entry position;
// *kinds receives the kinds mask, *count the number of entries (1 for a file).
// 0, 3 (a name does not fit), 4 (null argument), 0xE803 or 0xE812.
uint32_t FileExistAndValid(char* first_path, char* second_path, uint8_t* kinds, uint8_t* count);

// Decodes vant::kImageHeaderSize raw bytes. 1 when the header is usable;
// 0 for null arguments or an APPL header whose validity word is not 1.
int decode_image_header(const uint8_t* raw, ImageHeader* header);

// *index receives 0 to 7 for a code of the type table (true), else 8 (false).
// index may be null.
bool image_type_index(uint32_t code, uint32_t* index);

// Writes the header's product as four characters in file order and a
// terminator into product (vant::kImageProductTextSize bytes). A null product
// only logs "Error in function: find_image_product. The input parameter
// product is NULL..".
void find_image_product(const ImageHeader* header, char* product);

// 2 when the version's first "_" field has a value (shorter than 11
// characters, not only "9"s), 1 when the first is a placeholder and the second
// has a value, else 0 (also for null, and for a placeholder without a second
// field). Fields are split at every "_"; an empty field is a placeholder.
uint32_t classify_version(const char* version);

// Zeroes and fills *record from a decoded header and takes a FILE image's
// version into the package version. 1 on success, 0 on failure.
int fill_in_firmware_info(const ImageHeader* header, uint8_t kinds, FirmwareImageInfo* record);

// Copies the package version into *version. 0, or 4 for null.
uint32_t GetPackageVersion(PackageVersion* version);

#pragma GCC visibility pop

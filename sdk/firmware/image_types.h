// The image type table: which headers become records and which are followed
// by an image body that the parser passes over.
#pragma once

#include <cstdint>

namespace vant {

// True for the types whose header becomes a FirmwareImageInfo record.
bool image_type_recorded(uint32_t index);

// True when the image's body follows its header in the file, so the next
// header lies after imageLength more bytes.
bool image_body_follows(uint32_t index);

}  // namespace vant

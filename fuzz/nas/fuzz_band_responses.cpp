// Feeds arbitrary TLV areas to the band and 5G response decoders: the band
// preference, the band capabilities, the RF band information, signal info and
// the NR5G cell. Input: a selector byte, then the TLV area, which becomes a
// message on the heap whose length field equals the area's size, so that any
// read past the bytes given is caught by AddressSanitizer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "sdk/nas/band_messages.h"

namespace {

using Entry = uint32_t (*)(const uint8_t*, ResponseContext*);

template <typename Record>
Record decode(Entry entry, const uint8_t* message) {
  Record record{};
  ResponseContext context{};
  context.output = &record;
  entry(message, &context);
  return record;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size - 1 > 0xFFFF) return 0;
  const size_t tlv_length = size - 1;
  auto message = std::make_unique<uint8_t[]>(4 + tlv_length);
  message[0] = message[1] = 0;
  message[2] = static_cast<uint8_t>(tlv_length & 0xFF);
  message[3] = static_cast<uint8_t>(tlv_length >> 8);
  std::memcpy(message.get() + 4, data + 1, tlv_length);
  using namespace vant::nas;
  switch (data[0] % 5) {
    case 0:
      decode<BandPreference>(unpack_get_band_preference, message.get());
      break;
    case 1: {
      // The record's lists are never said to hold more than they can.
      const auto caps = decode<BandCapabilities>(unpack_get_band_capabilities, message.get());
      if (caps.lteCount > kBandListCapacity || caps.nrCount > kBandListCapacity) std::abort();
      break;
    }
    case 2:
      decode<RfBandInfo>(unpack_get_rf_band_info, message.get());
      break;
    case 3:
      decode<SignalInfo>(unpack_get_signal_info, message.get());
      break;
    default: {
      const auto cell = decode<Nr5gCellInfo>(unpack_get_nr5g_cell_info, message.get());
      if (cell.tac > 0xFFFFFF) std::abort();
      break;
    }
  }
  return 0;
}

// The messages behind vantsdk/bands.h: their ids, and the response entries
// (each the codec's driver with the message's table) that the request
// functions, the tests and the fuzzers share.
#pragma once

#include <cstdint>

#include "vantsdk/bands.h"
#include "vantsdk/qmi_codec.h"

namespace vant::nas {

inline constexpr uint8_t kDmsService = 2;
inline constexpr uint16_t kGetRfBandInfoId = 0x0031;
inline constexpr uint16_t kGetSelectionPreferenceId = 0x0034;
inline constexpr uint16_t kGetBandCapabilitiesId = 0x0045;
inline constexpr uint16_t kGetSignalInfoId = 0x004F;
inline constexpr uint32_t kBandTimeoutMs = 5000;

// Each presets nothing: the request functions zero the record first.
uint32_t unpack_get_band_preference(const uint8_t* message, ResponseContext* context);
uint32_t unpack_get_band_capabilities(const uint8_t* message, ResponseContext* context);
uint32_t unpack_get_rf_band_info(const uint8_t* message, ResponseContext* context);
uint32_t unpack_get_signal_info(const uint8_t* message, ResponseContext* context);
uint32_t unpack_get_nr5g_cell_info(const uint8_t* message, ResponseContext* context);

// The set request's TLVs (after the 4-byte message header) for `change`.
uint32_t pack_set_band_preference(uint16_t* out_length, uint8_t* buffer,
                                  const BandPreferenceChange* change);

}  // namespace vant::nas

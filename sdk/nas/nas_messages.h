// The QMI NAS messages behind the API functions of vantsdk/nas.h: one request
// entry and one response entry per message (thin wrappers around the codec's
// drivers with the message's TLV tables), and the presets each request
// applies to its output once a response has arrived. Tests and fuzzers drive
// these directly, without a daemon.
#pragma once

#include <cstdint>

#include "vantsdk/nas.h"
#include "vantsdk/qmi_codec.h"

namespace vant::nas {

inline constexpr uint8_t kNasService = 3;

inline constexpr uint16_t kScanNetworksId = 0x0021;
inline constexpr uint16_t kRegisterNetworkId = 0x0022;
inline constexpr uint16_t kSetSelectionPreferenceId = 0x0033;
inline constexpr uint16_t kGetCellLocationInfoId = 0x0043;
inline constexpr uint16_t kGetChannelLockId = 0x5568;
inline constexpr uint16_t kSetChannelLockId = 0x5569;

inline constexpr uint32_t kScanTimeoutMs = 300000;
inline constexpr uint32_t kRegisterTimeoutMs = 30000;
inline constexpr uint32_t kSelectionPreferenceTimeoutMs = 2000;
inline constexpr uint32_t kCellLocationTimeoutMs = 2000;
inline constexpr uint32_t kChannelLockTimeoutMs = 5000;

// Request entries: pack the message into buffer (REQUEST_CAPACITY bytes) and
// set *out_length to its TLV length, as pack_request does.
uint32_t pack_get_channel_lock(uint16_t* out_length, uint8_t* buffer, const ChannelLock* input);
uint32_t pack_set_channel_lock(uint16_t* out_length, uint8_t* buffer, const ChannelLock* input);
uint32_t pack_get_cell_location_info(uint16_t* out_length, uint8_t* buffer);
uint32_t pack_scan_networks(uint16_t* out_length, uint8_t* buffer);

// What VANTNASRegisterNetwork packs.
struct RegisterNetworkInput {
  uint32_t action;
  uint16_t mcc;
  uint16_t mnc;
  uint32_t rat;
};
inline constexpr uint32_t kRegisterAutomatic = 1;  // register without naming a network

uint32_t pack_register_network(uint16_t* out_length, uint8_t* buffer,
                               const RegisterNetworkInput* input);
uint32_t pack_set_selection_preference(uint16_t* out_length, uint8_t* buffer,
                                       const SelectionPreferenceRequest* input);

// Response entries: unpack the response message (starting at its message id)
// into context->output.
//   get channel lock:    output is a ChannelLock
//   cell location info:  output is a CellLocationInfo
//   scan networks:       output is a ScanUnpackState
//   the others:          only the result TLV
uint32_t unpack_get_channel_lock(const uint8_t* message, ResponseContext* context);
uint32_t unpack_set_channel_lock(const uint8_t* message, ResponseContext* context);
uint32_t unpack_get_cell_location_info(const uint8_t* message, ResponseContext* context);
uint32_t unpack_scan_networks(const uint8_t* message, ResponseContext* context);
uint32_t unpack_register_network(const uint8_t* message, ResponseContext* context);
uint32_t unpack_set_selection_preference(const uint8_t* message, ResponseContext* context);

// The scan's output while its response is decoded: the caller's record and
// the capacities its three count bytes held on entry. The preset moves the
// capacities here and clears the counts, so a list that the response does not
// carry reads as empty rather than as a full array of stale entries.
struct ScanUnpackState {
  NetworkScanResult* result;
  uint8_t networkCapacity;
  uint8_t ratCapacity;
  uint8_t flagCapacity;
};

// Presets, applied once a response has arrived and before it is unpacked.
void preset_channel_lock(void* channel_lock);  // ChannelLock*
void preset_cell_location_info(void* info);    // CellLocationInfo*
void preset_scan_networks(void* state);        // ScanUnpackState*

}  // namespace vant::nas

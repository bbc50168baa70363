// The modem side of the network-access messages: the TLVs of the answers,
// laid out field by field as the host's decoders expect them. Written apart
// from the client library's codec on purpose, so that each checks the other.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <utility>

#include "qmux/tlv.h"
#include "sim/scenario.h"

namespace vant::sim {

// A 64-bit word as two 32-bit ones, low first: little-endian like the rest.
void put_u64(qmux::WireWriter& w, uint64_t value);
bool get_u64(qmux::WireReader& r, uint64_t& value);

// TLVs 0x10 to 0x18 of the cell location answer, each present when the
// technology is, and 0x2E and 0x2F with an NR cell.
void encode_cell_location(const Cells& cells, qmux::TlvBuilder& out);

// TLVs 0x10 to 0x13, 0x17 and 0x18 of the network scan answer. The service
// status of each network is derived from the registration unless fixed.
void encode_network_scan(const Scan& scan, std::span<const Network> networks,
                         std::optional<std::pair<uint16_t, uint16_t>> registered,
                         qmux::TlvBuilder& out);

// TLVs 0x10, 0x11 and 0x12 of the channel lock answer (and request).
void encode_channel_locks(const Locks& locks, qmux::TlvBuilder& out);

// The status byte of a scanned network.
uint8_t network_status_byte(const Network& network,
                            std::optional<std::pair<uint16_t, uint16_t>> registered);

}  // namespace vant::sim

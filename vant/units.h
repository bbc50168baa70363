// Physical units of the modem's measurements. The modem sends LTE signal
// values (RSRP, RSRQ, RSSI, and the CPICH values of WCDMA neighbours heard on
// LTE) in tenths of a dB or dBm, the LTE neighbours heard on WCDMA as 32-bit
// floats, UMTS values in whole dB(m), the GSM receive level as a 0..63 index
// and CDMA base station positions in quarter seconds of arc.
#pragma once

#include <cstdint>
#include <optional>

namespace vant::cli {

// -885 gives -88.5.
double from_tenths(int16_t tenths);
// The bits of an IEEE single, rounded to hundredths; nullopt for a NaN or
// infinity.
std::optional<double> from_float_bits(uint32_t word);
// RXLEV n (3GPP TS 45.008) stands for n - 111 to n - 110 dBm; the lower edge,
// or nullopt for a value outside 0..63.
std::optional<int> rx_level_dbm(uint32_t rx_level);
// A signed 32-bit count of 0.25 arc seconds, in degrees.
double quarter_arc_seconds_to_degrees(uint32_t word);

}  // namespace vant::cli

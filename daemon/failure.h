// The codes with which the daemon answers a request that it could not get
// answered by the modem, and the QMI message that goes with them.
#pragma once

#include <cstdint>
#include <vector>

#include "vantsdk/result_codes.h"

namespace vant::daemon {

// The modem is not there (or went away while the request was pending).
inline constexpr uint32_t kFailNoDevice = kNoDevice;  // 6
// The requested device is not the modem this daemon serves.
inline constexpr uint32_t kFailWrongDevice = 7;  // "Invalid WWAN device ID"
// No connection: the client has not connected, or the daemon is ending and
// the request will not reach the modem.
inline constexpr uint32_t kFailNotConnected = 8;  // "No connection to WWAN device"
// A client instance outside 0..7.
inline constexpr uint32_t kFailNoInterface = kNoQmiInterface;  // 9
// The client has too many requests waiting for the modem already.
inline constexpr uint32_t kFailTooMany = 11;  // "Unable to schedule QMI request"
// The modem restarted and dropped the request.
inline constexpr uint32_t kFailModemRestarted = 13;  // "Error receiving QMI response"
// The modem's answer does not fit in one datagram to the client.
inline constexpr uint32_t kFailResponseTooLarge = 16;  // "Malformed QMI response received"
// The request's own time-out passed.
inline constexpr uint32_t kFailTimedOut = kSdkTimedOut;  // 0xE004
// A service that clients may not address (the control service).
inline constexpr uint32_t kFailServiceNotSupported = 0xE002;  // "QMI Service not supported"
// A request from a user the daemon does not serve (neither root nor the
// daemon's own user): refused at once, so that such a client does not wait
// out its time-outs without knowing why.
inline constexpr uint32_t kFailUserNotServed = 0xE003;  // "QMI client not supported"
// The QMI error the daemon answers for a request whose lengths lie.
inline constexpr uint16_t kQmiErrorMalformed = 0x0001;

// The TLV area of a failed answer: the result TLV with result 1 and an error
// word. A code of the QMI group (1000 + n) carries its QMI error n; every other
// code is carried as it is, so that a client that reads the result TLV instead
// of the AM result learns the same code.
std::vector<uint8_t> failure_tlvs(uint32_t code);

}  // namespace vant::daemon

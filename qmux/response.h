// A modem's answers to a host's request, for any service: the same service,
// client and transaction, sent by the modem as a response.
#pragma once

#include <cstdint>
#include <vector>

#include "qmux/frame.h"

namespace vant::qmux {

// An answer with the given TLV area, which should hold the result TLV.
Frame response_to(const Frame& request, std::vector<uint8_t> tlvs);
// An answer carrying only the result TLV (error 0 means success).
Frame result_only_response(const Frame& request, uint16_t error);

}  // namespace vant::qmux

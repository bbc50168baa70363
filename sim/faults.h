// The ways a scenario makes the modem misbehave on an answer.
#pragma once

#include <cstdint>
#include <vector>

#include "qmux/frame.h"
#include "sim/scenario.h"

namespace vant::sim {

// Turns the answer into a failure with the error word; keep_tlvs keeps the
// TLVs it would have carried besides the result.
void inject_error(qmux::Frame& answer, uint16_t error, bool keep_tlvs);

// Keeps the result TLV of the answer and drops every other TLV.
void keep_only_result(qmux::Frame& answer);

// The writes that carry the answer, spoilt as asked (one write per frame, the
// noise in a write of its own).
std::vector<std::vector<uint8_t>> answer_writes(const qmux::Frame& answer, Malformation how);

}  // namespace vant::sim

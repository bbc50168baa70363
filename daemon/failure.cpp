#include "daemon/failure.h"

#include "qmux/tlv.h"

namespace vant::daemon {

std::vector<uint8_t> failure_tlvs(uint32_t code) {
  // The QMI group of the result codes: 1001 to 1099.
  const bool qmi_group = code > kQmiErrorBase && code < kQmiErrorBase + 100;
  const auto error = static_cast<uint16_t>(qmi_group ? code - kQmiErrorBase : code);
  qmux::TlvBuilder tlvs;
  auto& w = tlvs.begin(qmux::kResultTlv);
  w.u16(qmux::kQmiResultFailure);
  w.u16(error);
  tlvs.end();
  return tlvs.take();
}

}  // namespace vant::daemon

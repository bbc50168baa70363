#include "qmux/response.h"

#include "qmux/tlv.h"

namespace vant::qmux {

Frame response_to(const Frame& request, std::vector<uint8_t> tlvs) {
  Frame answer = request;
  answer.sender = Sender::modem;
  answer.kind = MessageKind::response;
  answer.tlvs = std::move(tlvs);
  return answer;
}

Frame result_only_response(const Frame& request, uint16_t error) {
  TlvBuilder tlvs;
  tlvs.add_result(error);
  return response_to(request, tlvs.take());
}

}  // namespace vant::qmux

// Registration: automatic (action 1, no network named) or on a named network
// with a given radio access technology.
#include "sdk/core/request_engine.h"
#include "sdk/nas/field_io.h"
#include "sdk/nas/nas_messages.h"
#include "vantsdk/nas.h"
#include "vantsdk/result_codes.h"

namespace vant::nas {
namespace {

const RegisterNetworkInput& input_of(const void* input) {
  return *static_cast<const RegisterNetworkInput*>(input);
}

uint32_t pack_action(QmiCursor* c, const void* input) {
  return write_fields(c, static_cast<uint8_t>(input_of(input).action));
}

uint32_t pack_network(QmiCursor* c, const void* input) {
  const RegisterNetworkInput& in = input_of(input);
  if (in.action == kRegisterAutomatic) return kSuccess;
  return write_fields(c, in.mcc, in.mnc, static_cast<uint8_t>(in.rat));
}

constexpr TlvEntry kRegisterRequest[] = {
    {0x01, &pack_action}, {0x10, &pack_network}, {kTlvEnd, nullptr}};
constexpr TlvEntry kRegisterResponse[] = {{0x02, &unpack_result_tlv}, {kTlvEnd, nullptr}};

}  // namespace

uint32_t pack_register_network(uint16_t* out_length, uint8_t* buffer,
                               const RegisterNetworkInput* input) {
  return pack_request(buffer, input, kRegisterRequest, kRegisterNetworkId, out_length);
}

uint32_t unpack_register_network(const uint8_t* message, ResponseContext* context) {
  return unpack_response(message, context, kRegisterResponse, kRegisterNetworkId);
}

}  // namespace vant::nas

uint32_t VANTNASRegisterNetwork(uint32_t action, uint16_t mcc, uint16_t mnc, uint32_t rat) {
  using namespace vant::nas;
  const RegisterNetworkInput input{action, mcc, mnc, rat};
  return run_qmi_exchange({.service = kNasService,
                           .messageId = kRegisterNetworkId,
                           .timeoutMs = kRegisterTimeoutMs,
                           .request = kRegisterRequest,
                           .input = &input,
                           .response = kRegisterResponse,
                           .output = nullptr});
}

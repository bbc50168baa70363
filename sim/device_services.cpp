// The packet-data and device-management messages: data session ids per
// instance and the modem's identity.
#include "qmux/response.h"
#include "qmux/tlv.h"
#include "sim/bands.h"
#include "sim/nas_encoding.h"
#include "sim/services.h"

namespace vant::sim {
namespace {

using qmux::Frame;
using qmux::TlvBuilder;

constexpr uint8_t kInstanceTlv = 0x10;
constexpr uint8_t kIpv4SessionTlv = 0x11;
constexpr uint8_t kIpv6SessionTlv = 0x12;
constexpr uint8_t kTextTlv = 0x01;
constexpr uint8_t kImeiTlv = 0x11;

void add_text(TlvBuilder& tlvs, uint8_t type, const std::string& text) {
  tlvs.add(type, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

Reply text_answer(const Frame& request, uint8_t type, const std::string& text) {
  TlvBuilder tlvs;
  tlvs.add_result(0);
  add_text(tlvs, type, text);
  return {qmux::response_to(request, tlvs.take())};
}

}  // namespace

Reply wds_query_data_instance(const Frame& request, ModemState& state) {
  const auto value = qmux::find_tlv(request.tlvs, kInstanceTlv);
  if (!value || value->empty()) return {qmux::result_only_response(request, kErrMissingArgument)};
  const uint8_t instance = (*value)[0];
  if (instance >= kDataInstances) return {qmux::result_only_response(request, kErrInvalidArgument)};
  TlvBuilder tlvs;
  tlvs.add_result(0);
  tlvs.begin(kIpv4SessionTlv).u32(state.sessions[instance].ipv4);
  tlvs.end();
  tlvs.begin(kIpv6SessionTlv).u32(state.sessions[instance].ipv6);
  tlvs.end();
  return {qmux::response_to(request, tlvs.take())};
}

Reply dms_get_manufacturer(const Frame& request, ModemState& state) {
  return text_answer(request, kTextTlv, state.scenario.identity.manufacturer);
}

Reply dms_get_model(const Frame& request, ModemState& state) {
  return text_answer(request, kTextTlv, state.scenario.identity.model);
}

Reply dms_get_revision(const Frame& request, ModemState& state) {
  return text_answer(request, kTextTlv, state.scenario.identity.firmware_revision);
}

Reply dms_get_ids(const Frame& request, ModemState& state) {
  return text_answer(request, kImeiTlv, state.scenario.identity.imei);
}

// TLV 0x01 the legacy mask, and with LTE bands 0x10 (bands 1 to 64) and 0x12
// (every band), with NR bands 0x13: lists of a 16-bit count and band numbers.
Reply dms_get_band_capabilities(const Frame& request, ModemState& state) {
  const Bands& b = state.scenario.bands;
  TlvBuilder tlvs;
  tlvs.add_result(0);
  put_u64(tlvs.begin(0x01), b.legacy);
  tlvs.end();
  auto band_list = [&](uint8_t type, const std::vector<uint16_t>& bands) {
    auto& w = tlvs.begin(type);
    w.u16(static_cast<uint16_t>(bands.size()));
    for (uint16_t band : bands) w.u16(band);
    tlvs.end();
  };
  if (!b.lte.empty()) {
    put_u64(tlvs.begin(0x10), band_mask(BandSet(b.lte.begin(), b.lte.end()), 1)[0]);
    tlvs.end();
    band_list(0x12, b.lte);
  }
  if (!b.nr.empty()) band_list(0x13, b.nr);
  return {qmux::response_to(request, tlvs.take())};
}

}  // namespace vant::sim

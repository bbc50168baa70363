#include "daemon/modem_identity.h"

#include <algorithm>
#include <cctype>

#include "qmux/tlv.h"

namespace vant::daemon {
namespace {

constexpr uint16_t kGetModel = 0x0022;
constexpr uint16_t kGetRevision = 0x0023;
constexpr uint16_t kGetSerialNumbers = 0x0025;
constexpr uint8_t kTextTlv = 0x01;
constexpr uint8_t kImeiTlv = 0x11;
constexpr uint8_t kMeidTlv = 0x12;

constexpr uint16_t kQueriesInOrder[] = {kGetModel, kGetRevision, kGetSerialNumbers};

std::string text_of(std::span<const uint8_t> tlvs, uint8_t type) {
  const auto value = qmux::find_tlv(tlvs, type);
  if (!value) return {};
  std::string text(value->begin(), value->end());
  // Some modems count a terminating zero into the value.
  text.erase(std::find(text.begin(), text.end(), '\0'), text.end());
  return text;
}

bool all_of_class(const std::string& text, size_t count, int (*is_class)(int)) {
  return text.size() >= count && std::all_of(text.begin(), text.begin() + count, [&](char c) {
           return is_class(static_cast<unsigned char>(c)) != 0;
         });
}

DeviceKey key_from(std::string_view text) {
  DeviceKey key{};
  std::copy_n(text.begin(), kDeviceKeySize, key.begin());
  return key;
}

}  // namespace

DeviceKey device_key(const ModemIdentity& identity, const std::string& node) {
  if (all_of_class(identity.imei, kDeviceKeySize, isdigit)) return key_from(identity.imei);
  if (identity.meid.size() == kDeviceKeySize &&
      all_of_class(identity.meid, kDeviceKeySize, isxdigit))
    return key_from(identity.meid);
  uint64_t hash = 0xcbf29ce484222325ULL;  // FNV-1a
  for (unsigned char c : node) hash = (hash ^ c) * 0x100000001b3ULL;
  static constexpr char kHex[] = "0123456789ABCDEF";
  DeviceKey key{};
  for (size_t i = 0; i < kDeviceKeySize; ++i) key[i] = kHex[(hash >> (4 * i)) & 0xF];
  return key;
}

void IdentityProbe::start(ModemSession& session, TimePoint now) {
  identity_ = {};
  answers_ = 0;
  for (size_t i = 0; i < kQueries; ++i) {
    RequestOrigin origin;
    origin.pair = kDaemonOrigin;
    origin.transaction = static_cast<uint8_t>(i);
    origin.header.service = kDeviceManagement;
    origin.header.instance = 0;
    origin.message_id = kQueriesInOrder[i];
    session.submit(origin, {}, now + kTimeout, now);
  }
}

bool IdentityProbe::on_answer(const RequestOrigin& origin, uint32_t result,
                              std::span<const uint8_t> tlvs) {
  if (origin.transaction >= kQueries || done()) return done();
  ++answers_;
  const auto qmi = qmux::find_result(tlvs);
  // A modem that does not know a query leaves its texts empty.
  if (result != 0 || !qmi || !qmi->ok()) return done();
  switch (kQueriesInOrder[origin.transaction]) {
    case kGetModel:
      identity_.model = text_of(tlvs, kTextTlv);
      break;
    case kGetRevision:
      identity_.revision = text_of(tlvs, kTextTlv);
      break;
    case kGetSerialNumbers:
      identity_.imei = text_of(tlvs, kImeiTlv);
      identity_.meid = text_of(tlvs, kMeidTlv);
      break;
  }
  return done();
}

}  // namespace vant::daemon

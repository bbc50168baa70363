#include "qmux/ctl.h"

#include <gtest/gtest.h>

#include "qmux/response.h"
#include "qmux/transaction.h"

namespace vant::qmux {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(Ctl, HostRequestsByteExact) {
  EXPECT_EQ((Bytes{0x01, 0x0F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0x22, 0x00, 0x04, 0x00, 0x01,
                   0x01, 0x00, 0x03}),
            encode_frame(ctl::allocate_client_id_request(5, 0x03)));
  EXPECT_EQ((Bytes{0x01, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x06, 0x23, 0x00, 0x05, 0x00, 0x01,
                   0x02, 0x00, 0x03, 0x09}),
            encode_frame(ctl::release_client_id_request(6, {0x03, 0x09})));
  EXPECT_EQ((Bytes{0x01, 0x0B, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x27, 0x00, 0x00, 0x00}),
            encode_frame(ctl::sync_request(1)));
}

TEST(Ctl, ModemAnswersByteExact) {
  EXPECT_EQ((Bytes{0x01, 0x17, 0x00, 0x80, 0x00, 0x00, 0x01, 0x05, 0x22, 0x00, 0x0C, 0x00,
                   0x02, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x02, 0x00, 0x03, 0x01}),
            encode_frame(ctl::allocate_client_id_response(5, 0, {0x03, 0x01})));
  EXPECT_EQ((Bytes{0x01, 0x0B, 0x00, 0x80, 0x00, 0x00, 0x02, 0x00, 0x27, 0x00, 0x00, 0x00}),
            encode_frame(ctl::sync_indication()));
}

TEST(Ctl, ModemParsesWhatHostBuilds) {
  EXPECT_EQ(0x03, ctl::parse_allocate_client_id_request(ctl::allocate_client_id_request(1, 3)));
  const ctl::ClientId id{0x01, 0x04};
  EXPECT_EQ(id, ctl::parse_release_client_id_request(ctl::release_client_id_request(2, id)));
  // A request of another message or a missing TLV is not mistaken for one.
  EXPECT_FALSE(ctl::parse_allocate_client_id_request(ctl::sync_request(3)));
  auto empty = ctl::allocate_client_id_request(1, 3);
  empty.tlvs.clear();
  EXPECT_FALSE(ctl::parse_allocate_client_id_request(empty));
  auto short_tlv = ctl::release_client_id_request(2, id);
  short_tlv.tlvs = {0x01, 0x01, 0x00, 0x01};
  EXPECT_FALSE(ctl::parse_release_client_id_request(short_tlv));
}

TEST(Ctl, HostParsesWhatModemBuilds) {
  const ctl::ServiceVersion versions[] = {{0x00, 1, 5}, {0x03, 1, 25}};
  const auto parsed = ctl::parse_version_info_response(ctl::version_info_response(9, versions));
  ASSERT_TRUE(parsed);
  EXPECT_EQ((std::vector<ctl::ServiceVersion>(std::begin(versions), std::end(versions))), *parsed);

  const auto refused = ctl::allocate_client_id_response(4, 0x05, {0x03, 0});
  EXPECT_EQ(0x05, find_result(refused.tlvs)->error);
  EXPECT_FALSE(find_result(refused.tlvs)->ok());
  EXPECT_EQ((ctl::ClientId{0x03, 0}), ctl::parse_allocate_client_id_response(refused));
  EXPECT_EQ((ctl::ClientId{0x03, 7}),
            ctl::parse_release_client_id_response(ctl::release_client_id_response(4, 0, {3, 7})));
  EXPECT_TRUE(ctl::is_sync_indication(ctl::sync_indication()));
  EXPECT_FALSE(ctl::is_sync_indication(ctl::sync_response(1, 0)));
}

TEST(Ctl, VersionListShorterThanItsCountIsRefused) {
  const ctl::ServiceVersion versions[] = {{0x00, 1, 5}};
  auto frame = ctl::version_info_response(1, versions);
  frame.tlvs[frame.tlvs.size() - 6] = 2;  // the count byte claims two entries
  EXPECT_FALSE(ctl::parse_version_info_response(frame));
}

TEST(Response, MirrorsTheRequest) {
  Frame request;
  request.service = 0x03;
  request.client_id = 4;
  request.transaction = 0x1001;
  request.message_id = 0x5568;
  const Frame answer = result_only_response(request, 0x47);
  EXPECT_EQ(Sender::modem, answer.sender);
  EXPECT_EQ(MessageKind::response, answer.kind);
  EXPECT_EQ(request.service, answer.service);
  EXPECT_EQ(request.client_id, answer.client_id);
  EXPECT_EQ(request.transaction, answer.transaction);
  EXPECT_EQ(request.message_id, answer.message_id);
  EXPECT_EQ((Bytes{0x02, 0x04, 0x00, 0x01, 0x00, 0x47, 0x00}), answer.tlvs);
}

TEST(Transaction, StartsAtOneSkipsZeroAndWraps) {
  TransactionCounter ctl(kCtlTransactionMax);
  EXPECT_EQ(1, ctl.next());
  for (int i = 2; i < 0xFF; ++i) ctl.next();
  EXPECT_EQ(0xFF, ctl.next());
  EXPECT_EQ(1, ctl.next());
  TransactionCounter service(kServiceTransactionMax);
  for (int i = 1; i < 0xFFFF; ++i) service.next();
  EXPECT_EQ(0xFFFF, service.next());
  EXPECT_EQ(1, service.next());
}

}  // namespace
}  // namespace vant::qmux

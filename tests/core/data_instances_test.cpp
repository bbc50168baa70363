#include "sdk/core/data_instances.h"

#include <gtest/gtest.h>

#include <array>

#include "tests/core/engine_fixture.h"
#include "vantsdk/result_codes.h"

namespace vant::test {
namespace {

struct Sessions {
  uint32_t v4, v6;
};

void load_sessions(const std::array<Sessions, kDataInstances>& sessions) {
  for (uint32_t i = 0; i < kDataInstances; ++i) {
    data_instance_table().records[i].sessionIdV4 = sessions[i].v4;
    data_instance_table().records[i].sessionIdV6 = sessions[i].v6;
  }
}

class DataInstances : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    static const bool initialised = (init_data_instances(), true);
    (void)initialised;
  }
  const DataInstanceOps& ops() const { return data_instance_table().ops; }
};

constexpr Sessions kBusy{1, 2};
constexpr Sessions kFree{0, 0};

TEST_F(DataInstances, FreeInstancesPerFamily) {
  const struct {
    const char* what;
    std::array<Sessions, kDataInstances> sessions;
    int32_t v4, v6, v4v6;
  } cases[] = {
      {"all free", {kFree, kFree, kFree, kFree, kFree, kFree, kFree, kFree}, 0, 0, 0},
      {"a later fully free instance overrides the IPv4 pick",
       {kBusy, Sessions{0, 9}, kFree, kBusy, kBusy, kBusy, kBusy, kBusy},
       2,
       2,
       2},
      {"fully free first, then IPv6 only",
       {kFree, Sessions{0, 9}, kBusy, kBusy, kBusy, kBusy, kBusy, kBusy},
       1,
       0,
       0},
      {"fully free first, IPv4 only later",
       {kFree, kBusy, kBusy, Sessions{9, 0}, kBusy, kBusy, kBusy, kBusy},
       0,
       3,
       0},
      {"nothing free", {kBusy, kBusy, kBusy, kBusy, kBusy, kBusy, kBusy, kBusy}, -1, -1, -1},
      {"half free only",
       {kBusy, Sessions{0, 5}, Sessions{0, 6}, Sessions{7, 0}, kBusy, kBusy, kBusy, kBusy},
       1,
       3,
       -1},
  };
  for (const auto& c : cases) {
    load_sessions(c.sessions);
    ops().pick_free_instances();
    EXPECT_EQ(c.v4, ops().free_instance_for_family(4)) << c.what;
    EXPECT_EQ(c.v6, ops().free_instance_for_family(6)) << c.what;
    EXPECT_EQ(c.v4v6, ops().free_instance_for_family(7)) << c.what;
    EXPECT_EQ(-1, ops().free_instance_for_family(5)) << c.what;
  }
}

TEST_F(DataInstances, InstanceOfASession) {
  load_sessions(
      {kBusy, Sessions{30, 31}, Sessions{0, 40}, Sessions{31, 0}, kBusy, kBusy, kBusy, kBusy});
  EXPECT_EQ(1, ops().instance_of_session(31));  // instance 1's IPv6 comes before instance 3's IPv4
  EXPECT_EQ(2, ops().instance_of_session(40));
  EXPECT_EQ(2, ops().instance_of_session(0));  // the first instance with a free family
  EXPECT_EQ(-1, ops().instance_of_session(77));
}

class DataInstanceRefresh : public EngineTest {};

TEST_F(DataInstanceRefresh, SuccessfulQueriesUpdateAndFailuresKeepRecords) {
  static const bool initialised = (init_data_instances(), true);
  (void)initialised;
  load_sessions({Sessions{1, 1}, Sessions{2, 2}, Sessions{3, 3}, Sessions{4, 4}, Sessions{5, 5},
                 Sessions{6, 6}, Sessions{7, 7}, Sessions{8, 8}});
  // Instance 3 answers only its IPv4 id, instance 5 is refused by the modem,
  // instance 7's exchange fails in the daemon; the others answer both ids.
  daemon().set_responder([](const ReceivedPacket& r) -> std::vector<Bytes> {
    const uint8_t instance = r.bytes[26];
    if (instance == 7) return {qmi_packet(0xC1, r.transaction, r.service, {}, kSdkTimedOut)};
    if (instance == 5)
      return {qmi_packet(0xC1, r.transaction, r.service,
                         qmi_message(r.messageId, {{0x02, result_tlv_value(1, 0x10)}}))};
    std::vector<Tlv> tlvs{{0x11, le32(100u + instance)}};
    if (instance != 3) tlvs.push_back({0x12, le32(200u + instance)});
    return {success_response(r, tlvs)};
  });
  refresh_data_instances();
  const auto sent = daemon().received();
  ASSERT_EQ(8u, sent.size());
  for (uint32_t i = 0; i < kDataInstances; ++i) {
    EXPECT_EQ(1, sent[i].service);
    EXPECT_EQ(0x0102, sent[i].messageId);
    EXPECT_EQ(5000u, sent[i].timeout);
    EXPECT_EQ(7 - i, sent[i].bytes[26]) << "queried from 7 down to 0";
  }
  const Sessions expected[] = {{100, 200}, {101, 201}, {102, 202}, {103, 4},
                               {104, 204}, {6, 6},     {106, 206}, {8, 8}};
  for (uint32_t i = 0; i < kDataInstances; ++i) {
    EXPECT_EQ(expected[i].v4, data_instance_table().records[i].sessionIdV4) << i;
    EXPECT_EQ(expected[i].v6, data_instance_table().records[i].sessionIdV6) << i;
  }
}

}  // namespace
}  // namespace vant::test

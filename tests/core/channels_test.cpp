#include "sdk/core/channels.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <unistd.h>

namespace {

TEST(ChannelTable, LookupsByNumberAndName) {
  EXPECT_STREQ("QMRR1", cigetchannelname(0));
  EXPECT_STREQ("MBIMURR1", cigetchannelname(20));
  EXPECT_EQ(3u, cigetchannelnum("QMNOTIF2"));
  EXPECT_EQ(9u, cigetchannelnum("UIIPC"));
  EXPECT_EQ(1u, cigetifacetype("UDIAG"));
  EXPECT_EQ(0u, cigetifacetype("QMRR3"));
  // A name matches the first row that begins with it.
  EXPECT_EQ(0u, ci_lookup("QMRR"));
  EXPECT_EQ(kNoChannel, ci_lookup("UNMEA"));
}

TEST(ChannelTable, PeersKindsAndPairs) {
  EXPECT_EQ(1u, ci_peer_of(0));
  EXPECT_EQ(4u, ci_peer_of(5));
  EXPECT_EQ(11u, ci_peer_of(10));
  EXPECT_EQ(kNoChannel, ci_peer_of(12));  // "UNMEA" has no row
  EXPECT_EQ(kNoChannel, ci_peer_of(6));   // "DUMMY"
  EXPECT_EQ(3u, ci_count_of_kind(kKindRequestResponse));
  EXPECT_EQ(3u, ci_count_of_kind(kKindNotification));
  const uint32_t expected[] = {0, 2, 4, kNoChannel};
  for (uint32_t n = 0; n < 4; ++n)
    EXPECT_EQ(expected[n], ci_nth_of_kind(n, kKindRequestResponse)) << n;
  // Kind 2 channels of interface type 1 are not the client's.
  EXPECT_EQ(10u, ci_nth_of_kind(0, 2));
  EXPECT_EQ(12u, ci_nth_of_kind(1, 2));
  EXPECT_EQ(kNoChannel, ci_nth_of_kind(2, 2));
}

TEST(ChannelTableDeathTest, UnknownNumbersAndNamesAreFatal) {
  EXPECT_EXIT(cigetchannelname(21), testing::ExitedWithCode(1), "");
  EXPECT_EXIT(cigetchannelnum("NOPE"), testing::ExitedWithCode(1), "");
  EXPECT_EXIT(cigetifacetype("NOPE"), testing::ExitedWithCode(1), "");
  IpcChannel channel;
  EXPECT_EXIT(ciinitapiipcchan(&channel, "NOPE", 0), testing::ExitedWithCode(1), "");
}

TEST(ChannelClaim, InterfaceTypeOneIsNotOpened) {
  IpcChannel channel;
  EXPECT_EQ(0, ciinitapiipcchan(&channel, "QMURR1", 0));
  EXPECT_LT(channel.socket, 0);
}

// Holds a bound client-side name, as another client process would.
class NameHolder {
 public:
  NameHolder(const char* channel, uint32_t number) {
    socket_ = socket(AF_UNIX, SOCK_DGRAM, 0);
    const sockaddr_un address = os_channel_address(ChannelSide::kClient, 0, channel, number);
    bound_ = bind(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  }
  ~NameHolder() { close(socket_); }
  bool bound() const { return bound_; }

 private:
  int socket_;
  bool bound_;
};

struct ClaimedPair {
  IpcChannel request, notification;
  int claimed;
  explicit ClaimedPair(uint32_t modem) { claimed = ci_claim_pair(modem, &request, &notification); }
  ~ClaimedPair() {
    if (claimed) {
      os_ipc_close(&request);
      os_ipc_close(&notification);
    }
  }
};

TEST(ChannelClaim, ClientsTakeThePairsInTableOrderAndAFourthFindsNone) {
  ClaimedPair first(0), second(0), third(0);
  ASSERT_TRUE(first.claimed && second.claimed && third.claimed);
  EXPECT_EQ(0u, first.request.number);
  EXPECT_EQ(1u, first.notification.number);
  EXPECT_EQ(2u, second.request.number);
  EXPECT_EQ(5u, third.notification.number);
  const sockaddr_un peer = os_channel_address(ChannelSide::kDaemon, 0, "QMRR1", 0);
  EXPECT_EQ(0, std::memcmp(&peer, &first.request.peer, sizeof peer));
  ClaimedPair fourth(0);
  EXPECT_EQ(0, fourth.claimed);
}

TEST(ChannelClaim, HalfTakenPairIsSkippedAndItsNameFreed) {
  NameHolder notification_taken("QMNOTIF1", 1);
  ASSERT_TRUE(notification_taken.bound());
  ClaimedPair pair(0);
  ASSERT_TRUE(pair.claimed);
  EXPECT_EQ(2u, pair.request.number);
  EXPECT_EQ(3u, pair.notification.number);
  // The QMRR1 socket of the failed try was closed, not kept bound.
  NameHolder request_name("QMRR1", 0);
  EXPECT_TRUE(request_name.bound());
}

TEST(ChannelClaim, FailedClaimRefusesRequests) {
  NameHolder a("QMRR1", 0), b("QMRR2", 2), c("QMRR3", 4);
  EXPECT_EQ(0, ci_open_client_channels(0));
  EXPECT_EQ(0, ci_client_state());
}

}  // namespace

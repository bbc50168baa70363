#include "daemon/client_admission.h"

#include <unistd.h>

#include "daemon/group_grant.h"
#include "sdk/core/am_packets.h"

namespace vant::daemon {

bool ClientAdmission::trusted(const ReceivedDatagram& received) const {
  if (!received.has_credentials) return false;
  const ucred& sender = received.credentials;
  if (sender.uid == 0 || sender.uid == geteuid()) return true;
  return allowed_group_ && sender_in_group(sender, *allowed_group_);
}

ClientAdmission::Verdict ClientAdmission::judge(const ChannelPair& channel,
                                                const ReceivedDatagram& received,
                                                LogThrottle::Clock::time_point now) {
  const char* name = kChannelTable[channel.request_number].name;
  if (!sent_by_pair_client(channel, received)) {
    log_.line(kNotFromClient, now, LogLevel::warning,
              "dropped a datagram on %s not sent from its client's socket", name);
    return Verdict::drop;
  }
  if (!trusted(received)) {
    log_.line(kFromStranger, now, LogLevel::warning,
              "dropped a datagram on %s from uid %u (not root, not our user, not of a group "
              "allowed)",
              name, received.has_credentials ? received.credentials.uid : ~0u);
    return received.truncated ? Verdict::drop : Verdict::refuse_stranger;
  }
  if (received.truncated || received.size > kAmBufferSize) {
    log_.line(kTooLong, now, LogLevel::warning, "dropped a datagram on %s longer than %zu bytes",
              name, kAmBufferSize);
    return Verdict::drop;
  }
  return Verdict::admit;
}

}  // namespace vant::daemon

// Who may act on a channel pair, checked before anything in a datagram is
// read: only the pair's own client socket, of a user the daemon serves
// (root, its own user, or a group it was told to allow), with a datagram
// that fits. A datagram from another socket must not make the daemon forget
// that client, answer it, or send it indications.
#pragma once

#include <sys/types.h>

#include <array>
#include <optional>

#include "daemon/client_endpoints.h"
#include "daemon/log_throttle.h"
#include "sdk/core/channels.h"

namespace vant::daemon {

class ClientAdmission {
 public:
  enum class Verdict {
    admit,
    drop,
    // A user the daemon does not serve: it learns so in the answer it waits
    // for, on its own socket only, and nothing of the pair changes.
    refuse_stranger,
  };

  // --allow-group: serve the members of this group too.
  void allow_group(gid_t group) { allowed_group_ = group; }

  Verdict judge(const ChannelPair& channel, const ReceivedDatagram& received,
                LogThrottle::Clock::time_point now);

  // A client exits without telling us; the next process to claim its pair
  // starts its transaction numbers afresh and must not receive the answers
  // meant for the first one. True when pid is such a new process.
  bool replaces(size_t pair, pid_t pid) const {
    return pair_pids_[pair] != 0 && pair_pids_[pair] != pid;
  }
  void heard(size_t pair, pid_t pid) { pair_pids_[pair] = pid; }
  void forget(size_t pair) { pair_pids_[pair] = 0; }

 private:
  enum Line : size_t { kNotFromClient, kFromStranger, kTooLong, kLines };

  bool trusted(const ReceivedDatagram& received) const;

  std::optional<gid_t> allowed_group_;
  // The process last heard on each pair.
  std::array<pid_t, kChannelPairs> pair_pids_{};
  LogThrottle log_{kLines};
};

}  // namespace vant::daemon

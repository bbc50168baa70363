// A scripted stand-in for the client library's daemon management, so that
// the start-up sequence can be driven through every branch.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

struct FakeSdk {
  // Results handed out in order; the last one repeats.
  uint32_t set_path_result = 0;
  std::deque<uint32_t> start_results{0};
  uint32_t stop_result = 1;
  std::deque<uint32_t> enumerate_results{0};
  uint32_t connect_result = 0;

  // What the start-up did, in order ("SetDaemonPath", "StartDaemon", ...).
  std::vector<std::string> calls;
  std::string path_seen;
  std::vector<int> modems_seen;
  std::vector<int> counts_seen;
  bool extra_argument_seen = false;
  std::string node_seen;
  std::vector<uint8_t> key_seen;
};

// Reset before each test.
FakeSdk& fake_sdk();

inline constexpr const char* kFakeNode = "/dev/cdc-wdm3";
inline constexpr uint8_t kFakeKey[14] = {'K', 'E', 'Y', '-', '0', '1', '2',
                                         '3', '4', '5', '6', '7', '8', '9'};

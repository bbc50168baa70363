#include "tests/frontend/fake_sdk.h"

#include <cstring>

#include "vantsdk/device.h"

namespace {
uint32_t next_result(std::deque<uint32_t>& results) {
  const uint32_t result = results.front();
  if (results.size() > 1) results.pop_front();
  return result;
}
}  // namespace

FakeSdk& fake_sdk() {
  static FakeSdk sdk;
  return sdk;
}

uint32_t SetDaemonPath(const char* path) {
  fake_sdk().calls.push_back("SetDaemonPath");
  fake_sdk().path_seen = path != nullptr ? path : "(null)";
  return fake_sdk().set_path_result;
}

uint32_t StartDaemon(uint8_t modem, const char* extra_argument) {
  fake_sdk().calls.push_back("StartDaemon");
  fake_sdk().modems_seen.push_back(modem);
  fake_sdk().extra_argument_seen |= extra_argument != nullptr;
  return next_result(fake_sdk().start_results);
}

int64_t GetForeignDaemonUid() {
  return -1;
}

uint32_t StopDaemon() {
  fake_sdk().calls.push_back("StopDaemon");
  return fake_sdk().stop_result;
}

uint32_t EnumerateDevices(uint8_t* count, DeviceInfo* devices) {
  fake_sdk().calls.push_back("EnumerateDevices");
  fake_sdk().counts_seen.push_back(*count);
  const uint32_t result = next_result(fake_sdk().enumerate_results);
  if (result == 0) {
    *count = 1;
    std::strcpy(devices->deviceNode, kFakeNode);
    std::memcpy(devices->deviceKey, kFakeKey, sizeof kFakeKey);
  }
  return result;
}

uint32_t ConnectDevice(const char* device_node, const uint8_t* device_key) {
  fake_sdk().calls.push_back("ConnectDevice");
  fake_sdk().node_seen = device_node;
  fake_sdk().key_seen.assign(device_key, device_key + sizeof kFakeKey);
  return fake_sdk().connect_result;
}

// A daemon executable for the launch tests: the fake daemon serving the
// device service, reporting how it was started (argument count, modem
// argument, environment size) so that tests can check the launch contract.
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "tests/core/fake_daemon.h"

extern char** environ;

namespace {

using vant::test::Bytes;
using vant::test::ReceivedPacket;
using vant::test::Tlv;

constexpr char kNode[] = "/dev/fakewdm0";

Bytes text(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

Bytes device_key() {
  Bytes key;
  for (uint8_t i = 1; i <= 14; ++i) key.push_back(i);
  return key;
}

size_t environment_size() {
  size_t count = 0;
  for (char** entry = environ; *entry != nullptr; ++entry) ++count;
  return count;
}

std::vector<Tlv> device_service_answer(uint16_t message, int argc, char** argv) {
  switch (message) {
    case 0x0000:
    case 0x0003:
      return {{0x00, text(kNode)}, {0x01, device_key()}};
    case 0x0001:
      return {{0x03, vant::test::le32(static_cast<uint32_t>(getpid()))}};
    case 0x0005:
      return {{0x10, text(std::to_string(argc))},
              {0x11, text(argc > 1 ? argv[1] : "")},
              {0x12, text(std::to_string(environment_size()))}};
    case 0x0006:
      return {{0x10, {static_cast<uint8_t>(environment_size())}}};
    default:
      return {};
  }
}

// Instance i carries IPv4 session 100 + i and, for odd i, IPv6 session 200 + i.
std::vector<Tlv> data_instance_answer(const ReceivedPacket& request) {
  const uint8_t instance = request.bytes.size() > 26 ? request.bytes[26] : 0;
  std::vector<Tlv> tlvs{{0x11, vant::test::le32(100u + instance)}};
  if (instance % 2 == 1) tlvs.push_back({0x12, vant::test::le32(200u + instance)});
  return tlvs;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  // Detaches as the real daemon does: whoever started it is not its parent.
  if (fork() != 0) return 0;
  setsid();
  vant::test::FakeDaemon daemon(static_cast<uint32_t>(std::atoi(argv[1])));
  daemon.set_responder([argc, argv](const ReceivedPacket& r) -> std::vector<Bytes> {
    if (r.packetType != 0xC0) return {};
    if (r.service == 0xF7)
      return {success_response(r, device_service_answer(r.messageId, argc, argv))};
    if (r.service == 0x01 && r.messageId == 0x0102)
      return {success_response(r, data_instance_answer(r))};
    return {success_response(r)};
  });
  while (!daemon.terminate_requested()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  // Like the real daemon, which waits for the modem to release its client
  // ids, it ends a moment after it was asked to, its sockets still bound.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  return 0;
}

// What an MBIM control node hands the daemon, or a host hands the emulator:
// a byte stream cut into reads, joined into messages by the receiver with
// time passing, and the information buffers that are parsed further (the
// device-services list, the QMUX frame a QMI message carries). Every message
// the receiver lets through must encode back to transfers it takes again.
// (The lists are parsed from the whole input too.)
//
// Input: repeated {u8 read length, u8 milliseconds to let pass, the read}.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "qmux/frame.h"
#include "qmux/mbim_device_services.h"
#include "qmux/mbim_message.h"
#include "qmux/mbim_receiver.h"

namespace {

using namespace vant::qmux::mbim;

void look_inside(const Message& m) {
  if (m.service == kBasicConnect && m.cid == kCidDeviceServices)
    parse_device_services(m.information);
  if (m.service == kBasicConnect && m.cid == kCidDeviceServiceSubscribeList)
    parse_subscribe_list(m.information);
  if (m.service == kQmiService) {
    vant::qmux::Frame frame;
    size_t size = 0;
    vant::qmux::parse_frame(m.information, frame, size);
  }
}

// The message comes back whole through a receiver of its own.
void check_round_trip(const Message& m) {
  Receiver again;
  for (const auto& transfer : encode(m, kMinControlTransfer)) again.feed(transfer, {});
  const auto got = again.next({});
  if (!got || !got->ok() || !(got->message == m)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> input(data, size);
  Receiver receiver;
  Receiver::Clock::time_point now{};
  while (input.size() >= 2) {
    const size_t length = std::min<size_t>(input[0], input.size() - 2);
    now += std::chrono::milliseconds(input[1] * 8);
    receiver.feed(input.subspan(2, length), now);
    input = input.subspan(2 + length);
    receiver.expire(now);
    while (auto got = receiver.next(now)) {
      if (!got->ok()) continue;
      look_inside(got->message);
      check_round_trip(got->message);
    }
  }
  parse_device_services(std::span<const uint8_t>(data, size));
  parse_subscribe_list(std::span<const uint8_t>(data, size));
  return 0;
}

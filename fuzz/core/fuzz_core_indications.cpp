// Feeds arbitrary datagrams through the checks the client applies to what the
// daemon sends, and those that pass into the indication dispatch: nothing may
// read past the bytes that arrived.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "sdk/core/am_packets.h"
#include "sdk/core/notifications.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact-size copy, so that any read past the datagram is caught.
  auto packet = std::make_unique<uint8_t[]>(size);
  if (size > 0) std::memcpy(packet.get(), data, size);
  if (!am_qmi_lengths_agree(packet.get(), size) || size == kQmiPayloadOffset) return 0;
  const uint8_t* cursor = packet.get() + kAmHeaderSize;
  QmiTransactionHeader record{};
  uint8_t transaction = 0;
  amparseqmixactionheader(&cursor, &record, &transaction);
  dispatch_notification(packet.get() + kQmiPayloadOffset, &record);
  return 0;
}

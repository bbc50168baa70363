// Feeds arbitrary datagrams to the checks the client applies to what arrives
// while it waits for an answer, and what they accept as a QMI answer to the
// walk that takes its TLVs apart. An accepted answer's message must lie
// within the bytes that arrived: the walk believes its length field.
//
// Input: a flags byte (bit 0: waiting for a QMI answer, else an SDK one), the
// transaction number waited for, the last one seen, then the datagram.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "sdk/core/am_packets.h"
#include "sdk/core/request_engine.h"
#include "vantsdk/qmi_codec.h"

namespace {

constexpr TlvEntry kResultOnly[] = {{kResultTlvType, &unpack_result_tlv}, {kTlvEnd, nullptr}};

// The QMI message's own claim: 4 bytes of id and length, then the TLV area.
size_t claimed_message_size(uint8_t* message) {
  QmiCursor c{4, 2, message};
  uint16_t length = 0;
  get_u16(&c, &length);
  return 4 + static_cast<size_t>(length);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const bool qmi = (data[0] & 1) != 0;
  const uint8_t t = data[1];
  uint8_t last = data[2];
  const size_t datagram_size = size - 3;
  if (datagram_size > kAmBufferSize) return 0;
  // Like the library's response buffer: cleared, then the datagram; sized
  // exactly, so that a read past the buffer is caught.
  auto buffer = std::make_unique<uint8_t[]>(kAmBufferSize);
  std::memset(buffer.get(), 0, kAmBufferSize);
  if (datagram_size > 0) std::memcpy(buffer.get(), data + 3, datagram_size);

  const ClassifiedResponse c = am_classify_response(buffer.get(), datagram_size, qmi, t, &last);
  if (c.verdict != ResponseVerdict::kAnswer || !qmi) return 0;
  const size_t offset = static_cast<size_t>(c.payload - buffer.get());
  // A bare AM header: the message the walk reads is the cleared buffer's.
  if (offset + 4 > datagram_size) return 0;
  if (claimed_message_size(buffer.get() + offset) > datagram_size - offset) __builtin_trap();
  ResponseContext context{};
  unpack_response(c.payload, &context, kResultOnly, 0);
  return 0;
}

#include "tests/core/fake_daemon.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace vant::test {
namespace {

sockaddr_un abstract(const char* name) {
  sockaddr_un address;
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path + 1, name, strnlen(name, sizeof address.sun_path - 2));
  return address;
}

int bind_datagram(const char* name) {
  const int sock = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  const sockaddr_un address = abstract(name);
  if (sock < 0 || bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
    throw std::runtime_error(std::string("fake daemon cannot bind ") + name);
  return sock;
}

uint16_t read16(const Bytes& b, size_t at) {
  return b.size() >= at + 2 ? static_cast<uint16_t>(b[at] | b[at + 1] << 8) : 0;
}

void append(Bytes& to, const Bytes& from) {
  to.insert(to.end(), from.begin(), from.end());
}

}  // namespace

Bytes le16(uint16_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
}
Bytes le32(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}

Bytes qmi_message(uint16_t message_id, const std::vector<Tlv>& tlvs) {
  Bytes body;
  for (const Tlv& tlv : tlvs) {
    body.push_back(tlv.type);
    append(body, le16(static_cast<uint16_t>(tlv.value.size())));
    append(body, tlv.value);
  }
  Bytes message = le16(message_id);
  append(message, le16(static_cast<uint16_t>(body.size())));
  append(message, body);
  return message;
}

Bytes result_tlv_value(uint16_t result, uint16_t error) {
  Bytes value = le16(result);
  append(value, le16(error));
  return value;
}

Bytes qmi_packet(uint16_t packet_type, uint8_t transaction, uint8_t service, const Bytes& message,
                 uint32_t result, uint8_t instance) {
  Bytes packet = le16(packet_type);
  append(packet, le16(0));
  append(packet, le32(result));
  append(packet, le16(static_cast<uint16_t>(message.size() + 9)));
  packet.push_back(transaction);
  packet.push_back(service);
  append(packet, le32(0));
  append(packet, le16(static_cast<uint16_t>(message.size())));
  packet.push_back(instance);
  append(packet, message);
  return packet;
}

Bytes success_response(const ReceivedPacket& request, const std::vector<Tlv>& tlvs) {
  std::vector<Tlv> all{{0x02, result_tlv_value(0, 0)}};
  all.insert(all.end(), tlvs.begin(), tlvs.end());
  return qmi_packet(0xC1, request.transaction, request.service, qmi_message(request.messageId, all),
                    0, request.instance);
}

FakeDaemon::FakeDaemon(uint32_t modem) : modem_(modem) {
  char name[108];
  std::snprintf(name, sizeof name, "KEL%u_SDK_SOCKET_MUTEX", modem);
  presence_ = bind_datagram(name);
  for (uint32_t pair = 0; pair < 3; ++pair) {
    std::snprintf(name, sizeof name, "KEL%u_SDK_QMRR%u_SOCKET_%u", modem, pair + 1, 2 * pair);
    request_sockets_[pair] = bind_datagram(name);
    std::snprintf(name, sizeof name, "KEL%u_SDK_QMNOTIF%u_SOCKET_%u", modem, pair + 1,
                  2 * pair + 1);
    notification_sockets_[pair] = bind_datagram(name);
  }
  wake_ = eventfd(0, EFD_CLOEXEC);
  responder_ = [](const ReceivedPacket& r) -> std::vector<Bytes> {
    if (r.packetType != 0xC0) return {};
    return {success_response(r)};
  };
  thread_ = std::thread([this] { serve(); });
}

FakeDaemon::~FakeDaemon() {
  const uint64_t one = 1;
  if (write(wake_, &one, sizeof one) != sizeof one) std::perror("fake daemon wake");
  thread_.join();
  for (int sock : request_sockets_) close(sock);
  for (int sock : notification_sockets_) close(sock);
  if (presence_ >= 0) close(presence_);
  close(wake_);
}

void FakeDaemon::set_responder(Responder responder) {
  std::lock_guard lock(mutex_);
  responder_ = std::move(responder);
}

std::vector<ReceivedPacket> FakeDaemon::received() const {
  std::lock_guard lock(mutex_);
  return received_;
}

void FakeDaemon::clear_received() {
  std::lock_guard lock(mutex_);
  received_.clear();
}

bool FakeDaemon::wait_for_requests(size_t count, std::chrono::milliseconds limit) const {
  std::unique_lock lock(mutex_);
  return arrived_.wait_for(lock, limit, [&] { return received_.size() >= count; });
}

void FakeDaemon::send_indication(uint32_t pair, const Bytes& packet) const {
  char name[108];
  std::snprintf(name, sizeof name, "KEL%u_API_QMNOTIF%u_SOCKET_%u", modem_, pair + 1, 2 * pair + 1);
  const sockaddr_un to = abstract(name);
  if (sendto(notification_sockets_[pair], packet.data(), packet.size(), 0,
             reinterpret_cast<const sockaddr*>(&to), sizeof to) < 0)
    std::perror("fake daemon indication");
}

void FakeDaemon::drop_presence() {
  close(presence_);
  presence_ = -1;
}

void FakeDaemon::serve() {
  pollfd fds[4];
  for (uint32_t pair = 0; pair < 3; ++pair) fds[pair] = {request_sockets_[pair], POLLIN, 0};
  fds[3] = {wake_, POLLIN, 0};
  for (;;) {
    if (poll(fds, 4, -1) < 0) continue;
    if (fds[3].revents != 0) return;
    for (uint32_t pair = 0; pair < 3; ++pair) {
      if ((fds[pair].revents & POLLIN) == 0) continue;
      Bytes datagram(4096);
      sockaddr_un from{};
      socklen_t from_length = sizeof from;
      const ssize_t n = recvfrom(request_sockets_[pair], datagram.data(), datagram.size(), 0,
                                 reinterpret_cast<sockaddr*>(&from), &from_length);
      if (n < 0) continue;
      datagram.resize(static_cast<size_t>(n));
      handle(pair, datagram, &from, from_length);
    }
  }
}

void FakeDaemon::handle(uint32_t pair, const Bytes& datagram, const void* from,
                        unsigned from_length) {
  ReceivedPacket packet;
  packet.pair = pair;
  packet.bytes = datagram;
  packet.packetType = read16(datagram, 0);
  if (packet.packetType == 0x100 && datagram.size() >= 11) {
    packet.sdkRequestType = datagram[10];
    if (packet.sdkRequestType == 4) terminated_ = true;
  } else if (datagram.size() >= 19) {
    packet.transaction = datagram[10];
    packet.service = datagram[11];
    packet.timeout = read16(datagram, 12) | static_cast<uint32_t>(read16(datagram, 14)) << 16;
    packet.instance = datagram[18];
    packet.messageId = read16(datagram, 19);
  }
  Responder responder;
  {
    std::lock_guard lock(mutex_);
    received_.push_back(packet);
    responder = responder_;
  }
  arrived_.notify_all();
  for (const Bytes& reply : responder(packet))
    sendto(request_sockets_[pair], reply.data(), reply.size(), 0,
           static_cast<const sockaddr*>(from), from_length);
}

}  // namespace vant::test

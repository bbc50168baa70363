// The channel table lookups and the claiming of a client's channel pair.
#include "sdk/core/channels.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "sdk/core/am_packets.h"

namespace {

std::array<ChannelSlot, kChannelCount> g_slots{};
uint8_t g_modem = 0;
IpcChannel g_request_channel;
IpcChannel g_notification_channel;
// Written by the notification thread, read by the engine without a lock.
std::atomic<uint8_t> g_client_state{0};

uint32_t lookup_or_abort(const char* name, const char* function, int line) {
  const uint32_t number = ci_lookup(name);
  if (number == kNoChannel) {
    char message[96];
    std::snprintf(message, sizeof message, "%s:%d Invalid service name", function, line);
    erAbort(message, 0);
  }
  return number;
}

}  // namespace

void ci_setup_slots(uint8_t modem) {
  for (uint32_t number = 0; number < kChannelCount; ++number)
    g_slots[number] = {kChannelTable[number], static_cast<uint16_t>(number)};
  g_modem = modem;
}

const ChannelSlot& ci_slot(uint32_t number) {
  return g_slots.at(number);
}

uint8_t ci_modem() {
  return g_modem;
}

const char* cigetchannelname(uint32_t number) {
  if (number >= kChannelCount) {
    char message[96];
    std::snprintf(message, sizeof message, "%s:%d Invalid channel number", "cigetchannelname",
                  __LINE__);
    erAbort(message, static_cast<int>(number));
  }
  return kChannelTable[number].name;
}

uint32_t cigetchannelnum(const char* name) {
  return lookup_or_abort(name, "cigetchannelnum", __LINE__);
}

uint32_t cigetifacetype(const char* name) {
  return kChannelTable[lookup_or_abort(name, "cigetifacetype", __LINE__)].interfaceType;
}

uint32_t ci_lookup(const char* name) {
  const size_t length = std::strlen(name);
  for (uint32_t number = 0; number < kChannelCount; ++number)
    if (std::strncmp(kChannelTable[number].name, name, length) == 0) return number;
  return kNoChannel;
}

uint32_t ci_peer_of(uint32_t number) {
  if (number >= kChannelCount) return kNoChannel;
  return ci_lookup(kChannelTable[number].peerName);
}

uint32_t ci_count_of_kind(uint32_t kind) {
  uint32_t count = 0;
  for (const ChannelDescriptor& row : kChannelTable) count += row.kind == kind ? 1 : 0;
  return count;
}

uint32_t ci_nth_of_kind(uint32_t n, uint32_t kind) {
  for (uint32_t number = 0; number < kChannelCount; ++number) {
    const ChannelDescriptor& row = kChannelTable[number];
    if (row.interfaceType == 0 && row.kind == kind && n-- == 0) return number;
  }
  return kNoChannel;
}

int ciinitapiipcchan(IpcChannel* channel, const char* name, uint32_t modem) {
  const uint32_t number = lookup_or_abort(name, "ciinitapiipcchan", __LINE__);
  if (kChannelTable[number].interfaceType != 0) return 0;
  return os_ipc_open(channel, number, kChannelTable[number].name, modem);
}

int ci_claim_pair(uint32_t modem, IpcChannel* request, IpcChannel* notification) {
  const uint32_t pairs = ci_count_of_kind(kKindRequestResponse);
  for (uint32_t n = 0; n < pairs; ++n) {
    const uint32_t number = ci_nth_of_kind(n, kKindRequestResponse);
    if (number >= kChannelCount) return 0;
    if (!ciinitapiipcchan(request, kChannelTable[number].name, modem)) continue;
    const uint32_t peer = ci_peer_of(number);
    if (peer < kChannelCount && ciinitapiipcchan(notification, kChannelTable[peer].name, modem))
      return 1;
    // Half claimed: free the request/response name for whoever holds its partner.
    os_ipc_close(request);
  }
  return 0;
}

int ci_open_client_channels(uint8_t modem) {
  ci_set_client_state(1);
  ci_setup_slots(modem);
  if (ci_claim_pair(modem, &g_request_channel, &g_notification_channel)) return 1;
  // Without channels every request would only run into its time-out: refuse
  // them at once instead.
  ci_set_client_state(0);
  return 0;
}

IpcChannel& ci_request_channel() {
  return g_request_channel;
}
IpcChannel& ci_notification_channel() {
  return g_notification_channel;
}

uint8_t ci_client_state() {
  return g_client_state.load();
}
void ci_set_client_state(uint8_t state) {
  g_client_state.store(state);
}

// The channel table that client and daemon share, the lookups between channel
// numbers and names, and the claiming of one request/response and
// notification channel pair by a client.
#pragma once

#include <array>
#include <cstdint>

#include "sdk/core/os_services.h"

// One row of the channel table.
struct ChannelDescriptor {
  const char* name;
  const char* peerName;    // "DUMMY" where the channel has no partner
  uint32_t interfaceType;  // clients open only channels of type 0
  uint32_t kind;           // 0 QMI request/response, 1 QMI notification, 2 and 3 other
  uint32_t index;
};

inline constexpr uint32_t kChannelCount = 21;
inline constexpr uint32_t kNoChannel = kChannelCount;  // what a failed lookup gives
inline constexpr uint32_t kKindRequestResponse = 0;
inline constexpr uint32_t kKindNotification = 1;

// The channel number is the row's position.
inline constexpr std::array<ChannelDescriptor, kChannelCount> kChannelTable{{
    {"QMRR1", "QMNOTIF1", 0, 0, 14}, {"QMNOTIF1", "QMRR1", 0, 1, 14},
    {"QMRR2", "QMNOTIF2", 0, 0, 14}, {"QMNOTIF2", "QMRR2", 0, 1, 14},
    {"QMRR3", "QMNOTIF3", 0, 0, 14}, {"QMNOTIF3", "QMRR3", 0, 1, 14},
    {"QMURR1", "DUMMY", 1, 2, 4},    {"IMURR1", "DUMMY", 1, 2, 0},
    {"IMURR2", "DUMMY", 1, 2, 1},    {"UIIPC", "DUMMY", 0, 3, 14},
    {"DIAG", "UDIAG", 0, 2, 14},     {"UDIAG", "DIAG", 1, 2, 0},
    {"NMEA", "UNMEA", 0, 2, 14},     {"QMURR2", "DUMMY", 1, 2, 5},
    {"QMURR3", "DUMMY", 1, 2, 6},    {"QMURR4", "DUMMY", 1, 2, 7},
    {"QMURR5", "DUMMY", 1, 2, 8},    {"QMURR6", "DUMMY", 1, 2, 9},
    {"QMURR7", "DUMMY", 1, 2, 10},   {"QMURR8", "DUMMY", 1, 2, 11},
    {"MBIMURR1", "DUMMY", 1, 2, 13},
}};

// The runtime record of one channel.
struct ChannelSlot {
  ChannelDescriptor descriptor;
  uint16_t number;
};

void ci_setup_slots(uint8_t modem);
const ChannelSlot& ci_slot(uint32_t number);  // number < kChannelCount
uint8_t ci_modem();

// Fatal for an unknown number or name.
const char* cigetchannelname(uint32_t number);
uint32_t cigetchannelnum(const char* name);
uint32_t cigetifacetype(const char* name);

// The first row whose name begins with name, or kNoChannel.
uint32_t ci_lookup(const char* name);
// The number of the row named by the channel's peer name, or kNoChannel.
uint32_t ci_peer_of(uint32_t number);
uint32_t ci_count_of_kind(uint32_t kind);
// The n-th (from 0) channel of interface type 0 and that kind, or kNoChannel.
uint32_t ci_nth_of_kind(uint32_t n, uint32_t kind);

// Opens the client side of the named channel; 0 for channels of interface
// type 1 (which clients do not open) or when the open fails.
int ciinitapiipcchan(IpcChannel* channel, const char* name, uint32_t modem);

// Claims the first free request/response and notification pair of the
// modem's daemon into the two channels. 1 on success, 0 if every pair is
// taken. Sockets of a half-claimed pair are closed.
int ci_claim_pair(uint32_t modem, IpcChannel* request, IpcChannel* notification);
// Sets up the slots and claims a pair into this process's two channels.
int ci_open_client_channels(uint8_t modem);

// This process's two channels to the daemon.
IpcChannel& ci_request_channel();
IpcChannel& ci_notification_channel();

// The client-channels-claimed flag: set when the channels are claimed, then
// the device state the daemon reports (0 = modem gone). QMI requests are
// refused while it is 0.
uint8_t ci_client_state();
void ci_set_client_state(uint8_t state);

// The services and messages the emulated modem knows: number, the name that
// scenarios use for it in behaviour rules, and the routine that answers it.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "qmux/frame.h"

namespace vant::sim {

struct ModemState;

inline constexpr uint8_t kServiceCtl = 0x00;
inline constexpr uint8_t kServiceWds = 0x01;
inline constexpr uint8_t kServiceDms = 0x02;
inline constexpr uint8_t kServiceNas = 0x03;

// QMI error words the modem answers with.
inline constexpr uint16_t kErrMalformed = 0x01;
inline constexpr uint16_t kErrClientIdsExhausted = 0x05;
inline constexpr uint16_t kErrInvalidClientId = 0x07;
inline constexpr uint16_t kErrMissingArgument = 0x11;
inline constexpr uint16_t kErrInvalidRegisterAction = 0x20;
inline constexpr uint16_t kErrInvalidArgument = 0x30;
inline constexpr uint16_t kErrUnknownCommand = 0x47;

// An answer, and how long the modem works on it beyond its usual latency.
struct Reply {
  qmux::Frame answer;
  uint32_t work_ms = 0;
};

using Handler = Reply (*)(const qmux::Frame& request, ModemState& state);

struct MessageEntry {
  uint8_t service;
  uint16_t message_id;
  std::string_view name;
  Handler handler;
};

// The rule name that matches every message, known or not.
inline constexpr std::string_view kEveryMessage = "*";

std::span<const MessageEntry> message_table();
const MessageEntry* find_message(uint8_t service, uint16_t message_id);
// True for the name of a known message and for kEveryMessage.
bool is_message_name(std::string_view name);

}  // namespace vant::sim

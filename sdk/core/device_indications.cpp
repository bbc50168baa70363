// Indications of the daemon's own device service: the device state and the
// keyed value.
#include <cstring>
#include <new>

#include "sdk/core/channels.h"
#include "sdk/core/notifications.h"
#include "vantsdk/qmi_codec.h"

namespace {

// Unpacked into the dispatch's scratch record.
struct DeviceIndication {
  uint8_t state;
  bool statePresent;
  bool textPresent;
  char text[kDeviceTextLimit + 1];
  uint32_t value;
  uint8_t byte;
  uint8_t key;
  bool keyedPresent;
};
static_assert(sizeof(DeviceIndication) <= kNotificationScratchSize);

DeviceIndication& out(ResponseContext* context) {
  return *static_cast<DeviceIndication*>(context->output);
}

uint32_t unpack_state(QmiCursor* c, ResponseContext* context) {
  const uint32_t result = get_u8(c, &out(context).state);
  out(context).statePresent = result == 0;
  return result;
}

uint32_t unpack_text(QmiCursor* c, ResponseContext* context) {
  uint16_t length = 0;
  if (const uint32_t result = peek_tlv_length(c, &length); result != 0) return result;
  // The text field holds 128 bytes and a terminator, whatever the daemon sent.
  const uint16_t kept = length < kDeviceTextLimit ? length : kDeviceTextLimit;
  DeviceIndication& indication = out(context);
  if (const uint32_t result = get_bytes(c, reinterpret_cast<uint8_t*>(indication.text), kept);
      result != 0)
    return result;
  indication.text[kept] = '\0';
  indication.textPresent = true;
  return 0;
}

uint32_t unpack_keyed_value(QmiCursor* c, ResponseContext* context) {
  DeviceIndication& indication = out(context);
  uint32_t result = get_u32(c, &indication.value);
  if (result == 0) result = get_u8(c, &indication.byte);
  if (result == 0) result = get_u8(c, &indication.key);
  indication.keyedPresent = result == 0;
  return result;
}

constexpr TlvEntry kDeviceStateTable[] = {
    {0x10, &unpack_state},
    {0x11, &unpack_text},
    {kTlvEnd, &tlv_end_of_indication},
};
constexpr TlvEntry kKeyedValueTable[] = {
    {0x10, &unpack_keyed_value},
    {kTlvEnd, &tlv_end_of_indication},
};

template <typename Callback>
Callback callback_of(uint32_t row) {
  return reinterpret_cast<Callback>(get_notification_callback(row));
}

void deliver(const DeviceIndication& indication, uint8_t key) {
  const uint32_t keyed_row = kRowKeyedValueBase + key;
  if (keyed_row >= kNotificationRows) return;
  if (auto keyed = callback_of<KeyedValueCallback>(keyed_row); keyed && indication.keyedPresent)
    keyed(indication.value, indication.byte, indication.key);
  if (indication.statePresent) {
    // Requests must work again before the parked callbacks are re-registered,
    // since re-registering sends requests.
    ci_set_client_state(indication.state);
    apply_device_state(indication.state);
    if (auto state = callback_of<DeviceStateCallback>(kRowDeviceState)) state(indication.state);
  }
  if (auto text = callback_of<DeviceTextCallback>(kRowDeviceText); text && indication.textPresent)
    text(indication.text);
}

}  // namespace

void handle_device_service_indication(const NotificationContext& context) {
  TlvTable table;
  if (context.messageId == kDeviceStateIndication)
    table = kDeviceStateTable;
  else if (context.messageId == kKeyedValueIndication)
    table = kKeyedValueTable;
  else
    return;
  auto* indication = new (context.scratch) DeviceIndication{};
  ResponseContext unpacked{};
  unpacked.output = indication;
  // A malformed indication is dropped whole.
  if (unpack_response(context.message, &unpacked, table, context.messageId) != 0) return;
  const uint8_t key =
      context.messageId == kDeviceStateIndication ? context.record->instance : indication->key;
  deliver(*indication, key);
}

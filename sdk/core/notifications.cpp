// The callback table, the notification thread and the dispatch by service.
#include "sdk/core/notifications.h"

#include <array>
#include <atomic>
#include <cstring>

#include "sdk/core/channels.h"
#include "sdk/core/data_instances.h"
#include "sdk/core/os_services.h"
#include "vantsdk/qmi_codec.h"

namespace {

// One routine reference per slot, written and read whole by both threads.
struct NotificationSlot {
  std::atomic<NotificationCallback> callback{nullptr};
  std::atomic<RegistrationRoutine> registration{nullptr};
  std::atomic<NotificationCallback> saved{nullptr};
};

std::array<NotificationSlot, kNotificationRows> g_rows;
std::array<std::atomic<NotificationHandler>, 256> g_handlers{};
std::atomic<bool> g_started{false};
alignas(8) uint8_t g_notification_buffer[kAmBufferSize];

constexpr uint8_t kPacketDataService = 0x01;
constexpr uint32_t kFailureBackoffMs = 100;

bool is_device_service_row(uint32_t row) {
  return row == 0 || row == kRowDeviceState || row == kRowDeviceText;
}

}  // namespace

void set_notification_callback(uint32_t row, NotificationCallback callback) {
  if (row < kNotificationRows) g_rows[row].callback.store(callback);
}

NotificationCallback get_notification_callback(uint32_t row) {
  return row < kNotificationRows ? g_rows[row].callback.load() : nullptr;
}

NotificationCallback get_parked_callback(uint32_t row) {
  return row < kNotificationRows ? g_rows[row].saved.load() : nullptr;
}

void set_notification_registration(uint32_t row, RegistrationRoutine routine) {
  if (row < kNotificationRows) g_rows[row].registration.store(routine);
}

void clear_notification_callbacks() {
  for (uint32_t row = 0; row < kNotificationRows; ++row)
    if (!is_device_service_row(row)) g_rows[row].callback.store(nullptr);
}

void apply_device_state(uint8_t state) {
  for (NotificationSlot& slot : g_rows) {
    const RegistrationRoutine registration = slot.registration.load();
    if (registration == nullptr) continue;
    if (state == 0) {
      if (slot.callback.load() == nullptr) continue;
      slot.saved.store(slot.callback.exchange(nullptr));
    } else if (state == 1) {
      const NotificationCallback parked = slot.saved.load();
      if (parked == nullptr) continue;
      // A registration that fails keeps the callback parked for the next
      // return of the modem rather than losing it.
      if (registration(parked) == 0) slot.saved.store(nullptr);
    }
  }
}

void install_notification_handler(uint8_t service, NotificationHandler handler) {
  g_handlers[service].store(handler);
}

void dispatch_notification(const uint8_t* message, const QmiTransactionHeader* record) {
  // Large enough for the biggest indication of any service; lives on the
  // notification thread's 1 MiB stack.
  alignas(8) uint8_t scratch[kNotificationScratchSize];
  std::memset(scratch, 0, sizeof scratch);
  NotificationContext context{};
  context.message = message;
  QmiCursor header{4, 0, const_cast<uint8_t*>(message)};
  get_u16(&header, &context.messageId);
  context.record = record;
  context.scratch = scratch;
  if (record->service == kDeviceService) {
    handle_device_service_indication(context);
    return;
  }
  const NotificationHandler handler = g_handlers[record->service].load();
  if (handler == nullptr) return;
  if (record->service == kPacketDataService)
    context.dataInstance = data_instance_record(record->instance);
  handler(context);
}

void* notification_thread(void*) {
  for (;;) {
    size_t length = kAmBufferSize;
    const uint8_t* message = nullptr;
    QmiTransactionHeader record{};
    if (!amapiwaitnotif(g_notification_buffer, &length, &record, &message, 0)) {
      // Reported through the error hook already; do not spin on a dead socket.
      os_sleep_ms(kFailureBackoffMs);
      continue;
    }
    if (message != nullptr) dispatch_notification(message, &record);
  }
}

void start_notification_thread() {
  if (g_started.exchange(true)) return;
  init_data_instances();
  os_thread_create(&notification_thread);
}

bool notification_thread_started() {
  return g_started.load();
}

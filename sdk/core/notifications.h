// The notification machinery: the table of indication callbacks, the
// detached thread that receives the daemon's indications, and the dispatch of
// each indication to the handler of its service.
//
// A service takes part by installing its handler (which unpacks the
// indications it knows and calls the callbacks of their fixed rows) and the
// registration routines of its rows.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sdk/core/am_packets.h"

struct DataInstanceRecord;

// A row's callback. Each row has its own signature; the service that owns
// the row converts to it before calling.
using NotificationCallback = void (*)();
// Turns a row's indication on (callback set) or off (nullptr) at the modem
// and stores the callback when that succeeded. Returns a result code.
using RegistrationRoutine = uint32_t (*)(NotificationCallback callback);

inline constexpr uint32_t kNotificationRows = 133;
// Rows of the daemon's device service.
inline constexpr uint32_t kRowDeviceState = 77;     // DeviceStateCallback
inline constexpr uint32_t kRowDeviceText = 78;      // DeviceTextCallback
inline constexpr uint32_t kRowKeyedValueBase = 79;  // + key: KeyedValueCallback

using DeviceStateCallback = void (*)(uint8_t state);
using DeviceTextCallback = void (*)(const char* text);
using KeyedValueCallback = void (*)(uint32_t value, uint8_t byte, uint8_t key);

// Device service (0xF7) indications.
inline constexpr uint16_t kDeviceStateIndication = 0x0014;
inline constexpr uint16_t kKeyedValueIndication = 0x0015;
inline constexpr size_t kDeviceTextLimit = 128;

void set_notification_callback(uint32_t row, NotificationCallback callback);  // row >= 133: ignored
NotificationCallback get_notification_callback(uint32_t row);                 // row >= 133: nullptr
// Empties every row except 0, 77 and 78; the modem is not told.
void clear_notification_callbacks();
// The callback parked while the modem is absent (nullptr when none).
NotificationCallback get_parked_callback(uint32_t row);
// Fixes a row's registration routine (done by the service that owns the row).
void set_notification_registration(uint32_t row, RegistrationRoutine routine);

// State 0 parks every callback that has a registration routine; state 1
// re-registers every parked one. Other states change nothing.
void apply_device_state(uint8_t state);

// Size of the scratch record a handler unpacks an indication into.
inline constexpr size_t kNotificationScratchSize = 131400;

struct NotificationContext {
  const uint8_t* message;  // the QMI message: id, length, TLVs
  uint16_t messageId;
  const QmiTransactionHeader* record;  // service and client instance
  uint8_t* scratch;                    // kNotificationScratchSize zeroed bytes
  DataInstanceRecord* dataInstance;    // packet-data service only
};
using NotificationHandler = void (*)(const NotificationContext& context);
// Installs the handler of a service's indications (replacing any earlier one).
void install_notification_handler(uint8_t service, NotificationHandler handler);

// Starts the machinery once per process: the packet-data instance table and
// the notification thread.
void start_notification_thread();
bool notification_thread_started();
void* notification_thread(void* unused);
// Hands one indication to the handler of its service.
void dispatch_notification(const uint8_t* message, const QmiTransactionHeader* record);

// The handler of the daemon's device service.
void handle_device_service_indication(const NotificationContext& context);

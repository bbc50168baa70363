// Requests of the daemon's own device service (0xF7): enumerate, connect,
// disconnect, and the three reads.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "sdk/core/daemon_control.h"
#include "sdk/core/data_instances.h"
#include "sdk/core/notifications.h"
#include "sdk/core/os_services.h"
#include "sdk/core/request_engine.h"
#include "vantsdk/device.h"
#include "vantsdk/result_codes.h"

namespace {

constexpr uint32_t kEnumerateTimeoutMs = 5000;
constexpr uint32_t kDeviceTimeoutMs = 2000;
constexpr size_t kNodeFieldSize = sizeof(DeviceInfo::deviceNode);
constexpr size_t kKeyFieldSize = sizeof(DeviceInfo::deviceKey);

constexpr TlvEntry kNoTlvs[] = {{kTlvEnd, nullptr}};
constexpr TlvEntry kNoTlvsWithResult[] = {{kResultTlvType, &unpack_result_tlv}, {kTlvEnd, nullptr}};

// Copies a text value (up to its first zero) into a field of field_size
// bytes, always terminated. False when the text had to be cut to fit.
bool copy_text(QmiCursor* c, char* field, size_t field_size, uint32_t* result) {
  uint16_t length = 0;
  *result = peek_tlv_length(c, &length);
  if (*result != 0) return true;
  const size_t taken = std::min<size_t>(length, field_size);
  *result = get_bytes(c, reinterpret_cast<uint8_t*>(field), static_cast<uint32_t>(taken));
  if (*result != 0) {
    field[0] = '\0';
    return true;
  }
  const size_t text = strnlen(field, taken);
  if (text == field_size) {
    field[field_size - 1] = '\0';
    return false;
  }
  field[text] = '\0';
  return true;
}

// Result rules of the enumerate, connect and read messages: the walk's
// failure, 17 without a result TLV, the QMI error word when the modem failed.
uint32_t walk_device_response(const uint8_t* message, ResponseContext* context, TlvTable table,
                              uint16_t /*message_id*/) {
  if (const uint32_t result = walk_tlvs(message, context, table); result != 0) return result;
  if (context->resultSeen == 0) return vant::kInvalidQmiResponse;
  if (context->qmiResult == 0) return vant::kSuccess;
  // A failure without an error word must not read as success.
  return context->qmiError != 0 ? context->qmiError : vant::kGeneralError;
}

QmiExchange device_exchange(uint16_t message_id, uint32_t timeout_ms) {
  QmiExchange exchange{};
  exchange.service = kDeviceService;
  exchange.messageId = message_id;
  exchange.timeoutMs = timeout_ms;
  exchange.request = kNoTlvs;
  exchange.walker = &walk_device_response;
  return exchange;
}

// ---- Enumerate ----

struct EnumeratedDevice {
  char node[kNodeFieldSize];
  bool nodeFits;
  uint8_t key[kKeyFieldSize];
  uint16_t keyLength;
};

EnumeratedDevice& enumerated(ResponseContext* context) {
  return *static_cast<EnumeratedDevice*>(context->output);
}

uint32_t unpack_enumerated_node(QmiCursor* c, ResponseContext* context) {
  EnumeratedDevice& device = enumerated(context);
  uint32_t result = 0;
  device.nodeFits = copy_text(c, device.node, sizeof device.node, &result);
  return result;
}

uint32_t unpack_enumerated_key(QmiCursor* c, ResponseContext* context) {
  EnumeratedDevice& device = enumerated(context);
  uint16_t length = 0;
  if (const uint32_t result = peek_tlv_length(c, &length); result != 0) return result;
  // A key longer than the record's field cannot be kept whole.
  if (length > sizeof device.key) return vant::kInvalidQmiResponse;
  device.keyLength = length;
  return get_bytes(c, device.key, length);
}

constexpr TlvEntry kEnumerateResponse[] = {
    {kResultTlvType, &unpack_result_tlv},
    {0x00, &unpack_enumerated_node},
    {0x01, &unpack_enumerated_key},
    {kTlvEnd, nullptr},
};

// ---- Connect ----

struct ConnectInput {
  const char* node;
  const uint8_t* key;
};

uint32_t pack_node(QmiCursor* c, const void* input) {
  const char* node = static_cast<const ConnectInput*>(input)->node;
  return put_bytes(c, reinterpret_cast<const uint8_t*>(node),
                   static_cast<uint32_t>(std::strlen(node) + 1));
}

uint32_t pack_key(QmiCursor* c, const void* input) {
  return put_bytes(c, static_cast<const ConnectInput*>(input)->key, kDeviceKeySize);
}

uint32_t unpack_daemon_pid(QmiCursor* c, ResponseContext* context) {
  uint32_t pid = 0;
  const uint32_t result = get_u32(c, &pid);
  if (result == 0) *static_cast<int32_t*>(context->output) = static_cast<int32_t>(pid);
  return result;
}

constexpr TlvEntry kConnectRequest[] = {{0x00, &pack_node}, {0x01, &pack_key}, {kTlvEnd, nullptr}};
constexpr TlvEntry kConnectResponse[] = {
    {kResultTlvType, &unpack_result_tlv},
    {0x03, &unpack_daemon_pid},
    {kTlvEnd, nullptr},
};

// The daemon's id is kept and logged whatever else the response holds.
uint32_t walk_connect_response(const uint8_t* message, ResponseContext* context, TlvTable table,
                               uint16_t message_id) {
  const uint32_t result = walk_device_response(message, context, table, message_id);
  const int32_t pid = *static_cast<int32_t*>(context->output);
  set_daemon_process_id(pid);
  char line[64];
  std::snprintf(line, sizeof line, "SDK pid is %d\n", pid);
  os_log(line);
  return result;
}

// ---- Connected device ----

struct ConnectedDevice {
  char* node;
  uint32_t nodeSize;
  uint8_t* key;
  uint32_t keySize;
  bool tooSmall;
};

ConnectedDevice& connected(ResponseContext* context) {
  return *static_cast<ConnectedDevice*>(context->output);
}

uint32_t unpack_connected_node(QmiCursor* c, ResponseContext* context) {
  ConnectedDevice& device = connected(context);
  uint32_t result = 0;
  if (!copy_text(c, device.node, device.nodeSize, &result)) device.tooSmall = true;
  return result;
}

uint32_t unpack_connected_key(QmiCursor* c, ResponseContext* context) {
  ConnectedDevice& device = connected(context);
  uint16_t length = 0;
  if (const uint32_t result = peek_tlv_length(c, &length); result != 0) return result;
  if (length > device.keySize) {
    device.tooSmall = true;
    return 0;
  }
  return get_bytes(c, device.key, length);
}

constexpr TlvEntry kConnectedDeviceResponse[] = {
    {kResultTlvType, &unpack_result_tlv},
    {0x00, &unpack_connected_node},
    {0x01, &unpack_connected_key},
    {kTlvEnd, nullptr},
};

// ---- Texts and byte ----

struct TextsOutput {
  DeviceTexts* texts;
  bool cut;
};

template <size_t kField>
uint32_t unpack_text_field(QmiCursor* c, ResponseContext* context) {
  auto& output = *static_cast<TextsOutput*>(context->output);
  char* field = reinterpret_cast<char*>(output.texts) + kField * sizeof output.texts->text1;
  uint32_t result = 0;
  if (!copy_text(c, field, sizeof output.texts->text1, &result)) output.cut = true;
  return result;
}

constexpr TlvEntry kDeviceTextsResponse[] = {
    {kResultTlvType, &unpack_result_tlv},
    {0x10, &unpack_text_field<0>},
    {0x11, &unpack_text_field<1>},
    {0x12, &unpack_text_field<2>},
    {kTlvEnd, nullptr},
};

uint32_t unpack_byte(QmiCursor* c, ResponseContext* context) {
  return get_u8(c, static_cast<uint8_t*>(context->output));
}

constexpr TlvEntry kDeviceByteResponse[] = {
    {kResultTlvType, &unpack_result_tlv},
    {0x10, &unpack_byte},
    {kTlvEnd, nullptr},
};

}  // namespace

uint32_t EnumerateDevices(uint8_t* count, DeviceInfo* devices) {
  if (count == nullptr || *count == 0 || devices == nullptr) return vant::kInvalidArgument;
  EnumeratedDevice device{};
  QmiExchange exchange = device_exchange(kEnumerateDevicesMessage, kEnumerateTimeoutMs);
  exchange.response = kEnumerateResponse;
  exchange.output = &device;
  if (const uint32_t result = run_qmi_exchange(exchange); result != vant::kSuccess) return result;
  // A node that fills the whole field would leave the caller's text
  // without its terminator.
  if (device.node[0] == '\0' || !device.nodeFits || device.keyLength == 0)
    return vant::kInvalidQmiResponse;
  *count = 1;
  std::memset(devices[0].deviceNode, 0, sizeof devices[0].deviceNode);
  std::strcpy(devices[0].deviceNode, device.node);
  std::memcpy(devices[0].deviceKey, device.key, device.keyLength);
  return vant::kSuccess;
}

uint32_t ConnectDeviceOnly(const char* device_node, const uint8_t* device_key) {
  if (device_node == nullptr || device_key == nullptr) return vant::kInvalidArgument;
  const ConnectInput input{device_node, device_key};
  int32_t pid = 0;
  QmiExchange exchange = device_exchange(kConnectDeviceMessage, kDeviceTimeoutMs);
  exchange.request = kConnectRequest;
  exchange.input = &input;
  exchange.response = kConnectResponse;
  exchange.output = &pid;
  exchange.walker = &walk_connect_response;
  return run_qmi_exchange(exchange);
}

uint32_t ConnectDevice(const char* device_node, const uint8_t* device_key) {
  if (const uint32_t result = ConnectDeviceOnly(device_node, device_key); result != vant::kSuccess)
    return result;
  refresh_data_instances();
  return vant::kSuccess;
}

uint32_t DisconnectDevice() {
  clear_notification_callbacks();
  QmiExchange exchange = device_exchange(kDisconnectDeviceMessage, kDeviceTimeoutMs);
  exchange.response = kNoTlvsWithResult;
  exchange.walker = nullptr;  // the codec's rules: 1000 + the error word
  return run_qmi_exchange(exchange);
}

uint32_t GetConnectedDevice(char* device_node, uint32_t node_size, uint8_t* device_key,
                            uint32_t key_size) {
  if (device_node == nullptr || device_key == nullptr || node_size == 0)
    return vant::kInvalidArgument;
  ConnectedDevice device{device_node, node_size, device_key, key_size, false};
  device_node[0] = '\0';
  QmiExchange exchange = device_exchange(kConnectedDeviceMessage, kDeviceTimeoutMs);
  exchange.response = kConnectedDeviceResponse;
  exchange.output = &device;
  const uint32_t result = run_qmi_exchange(exchange);
  if (result != vant::kSuccess) return result;
  return device.tooSmall ? vant::kBufferTooSmall : vant::kSuccess;
}

uint32_t GetDeviceTexts(DeviceTexts* texts) {
  if (texts == nullptr) return vant::kInvalidArgument;
  std::memset(texts, 0, sizeof *texts);
  TextsOutput output{texts, false};
  QmiExchange exchange = device_exchange(kDeviceTextsMessage, kDeviceTimeoutMs);
  exchange.response = kDeviceTextsResponse;
  exchange.output = &output;
  const uint32_t result = run_qmi_exchange(exchange);
  if (result != vant::kSuccess) return result;
  return output.cut ? vant::kBufferTooSmall : vant::kSuccess;
}

uint32_t GetDeviceByte(uint8_t* value) {
  if (value == nullptr) return vant::kInvalidArgument;
  QmiExchange exchange = device_exchange(kDeviceByteMessage, kDeviceTimeoutMs);
  exchange.response = kDeviceByteResponse;
  exchange.output = value;
  return run_qmi_exchange(exchange);
}

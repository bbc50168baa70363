// The packet-data client instance table and its refresh from the modem.
#include "sdk/core/data_instances.h"

#include "sdk/core/request_engine.h"
#include "vantsdk/result_codes.h"

namespace {

DataInstanceTable g_table{};

void lock_instance(uint32_t instance) {
  os_mutex_lock(&g_table.records[instance].mutex);
}
void unlock_instance(uint32_t instance) {
  os_mutex_unlock(&g_table.records[instance].mutex);
}
void lock_table() {
  os_mutex_lock(&g_table.tableMutex);
}
void unlock_table() {
  os_mutex_unlock(&g_table.tableMutex);
}
void nothing() {}

void pick_free_instances() {
  g_table.freeV4 = g_table.freeV6 = g_table.freeV4V6 = kNoInstance;
  bool seek_v4 = true, seek_v6 = true, seek_v4v6 = true;
  for (uint32_t i = 0; i < kDataInstances; ++i) {
    const DataInstanceRecord& r = g_table.records[i];
    const auto instance = static_cast<int32_t>(i);
    if (seek_v4v6 && r.sessionIdV4 == 0 && r.sessionIdV6 == 0) {
      g_table.freeV4 = g_table.freeV6 = g_table.freeV4V6 = instance;
      seek_v4v6 = false;
      continue;
    }
    if (seek_v4 && r.sessionIdV4 == 0 && r.sessionIdV6 != 0) {
      g_table.freeV4 = instance;
      seek_v4 = false;
    }
    if (seek_v6 && r.sessionIdV6 == 0 && r.sessionIdV4 != 0) {
      g_table.freeV6 = instance;
      seek_v6 = false;
    }
  }
}

int32_t free_instance_for_family(uint32_t family) {
  switch (family) {
    case 4:
      return g_table.freeV4;
    case 6:
      return g_table.freeV6;
    case 7:
      return g_table.freeV4V6;
    default:
      return kNoInstance;
  }
}

int32_t instance_of_session(uint32_t session_id) {
  for (uint32_t i = 0; i < kDataInstances; ++i) {
    const DataInstanceRecord& r = g_table.records[i];
    if (r.sessionIdV4 == session_id || r.sessionIdV6 == session_id) return static_cast<int32_t>(i);
  }
  return kNoInstance;
}

uint32_t pack_instance(QmiCursor* c, const void* input) {
  return put_u8(c, *static_cast<const uint8_t*>(input));
}

uint32_t unpack_session_id(QmiCursor* c, uint32_t* destination) {
  if (destination == nullptr) return 0;
  uint32_t value = 0;
  if (get_u32(c, &value) != 0) return vant::kMemoryError;
  *destination = value;
  return 0;
}

uint32_t unpack_v4(QmiCursor* c, ResponseContext* context) {
  return unpack_session_id(c, static_cast<DataInstanceQuery*>(context->output)->sessionIdV4);
}
uint32_t unpack_v6(QmiCursor* c, ResponseContext* context) {
  return unpack_session_id(c, static_cast<DataInstanceQuery*>(context->output)->sessionIdV6);
}

constexpr TlvEntry kQueryRequest[] = {{0x10, &pack_instance}, {kTlvEnd, nullptr}};
constexpr TlvEntry kQueryResponse[] = {
    {kResultTlvType, &unpack_result_tlv},
    {0x11, &unpack_v4},
    {0x12, &unpack_v6},
    {kTlvEnd, nullptr},
};

}  // namespace

DataInstanceTable& data_instance_table() {
  return g_table;
}

DataInstanceRecord* data_instance_record(uint32_t instance) {
  return instance < kDataInstances ? &g_table.records[instance] : nullptr;
}

void init_data_instances() {
  os_mutex_init(&g_table.tableMutex);
  g_table.ops = {&lock_table,          &unlock_table,
                 &pick_free_instances, &free_instance_for_family,
                 &instance_of_session, &nothing};
  for (uint32_t i = kDataInstances; i-- > 0;) {
    DataInstanceRecord& r = g_table.records[i];
    os_mutex_init(&r.mutex);
    r.instance = i;
    r.lock = &lock_instance;
    r.unlock = &unlock_instance;
  }
}

uint32_t query_data_instance(uint8_t instance, DataInstanceQuery* output) {
  if (output == nullptr) return vant::kInvalidArgument;
  QmiExchange exchange{};
  exchange.service = kPacketDataServiceNumber;
  exchange.messageId = kQueryDataInstanceMessage;
  exchange.timeoutMs = kQueryDataInstanceTimeoutMs;
  exchange.request = kQueryRequest;
  exchange.input = &instance;
  exchange.response = kQueryResponse;
  exchange.output = output;
  return run_qmi_exchange(exchange);
}

void refresh_data_instances() {
  for (uint32_t i = kDataInstances; i-- > 0;) {
    DataInstanceRecord& r = g_table.records[i];
    // A TLV that does not come keeps the value the record had.
    uint32_t v4 = r.sessionIdV4, v6 = r.sessionIdV6;
    DataInstanceQuery query{&v4, &v6};
    if (query_data_instance(static_cast<uint8_t>(i), &query) != vant::kSuccess) continue;
    r.sessionIdV4 = v4;
    r.sessionIdV6 = v6;
  }
}

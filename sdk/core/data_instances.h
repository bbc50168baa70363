// The packet-data client instance table: for each of the eight client
// instances of the packet-data service, the ids of the IPv4 and IPv6 data
// sessions on it, so that the library can find a free instance for a new
// session or the instance that carries a session.
#pragma once

#include <cstdint>

#include "sdk/core/os_services.h"

inline constexpr uint32_t kDataInstances = 8;
inline constexpr int32_t kNoInstance = -1;
inline constexpr uint8_t kPacketDataServiceNumber = 0x01;
inline constexpr uint16_t kQueryDataInstanceMessage = 0x0102;
inline constexpr uint32_t kQueryDataInstanceTimeoutMs = 5000;

struct DataInstanceRecord {
  uint32_t instance;
  uint32_t sessionIdV4;  // 0 = none
  uint32_t sessionIdV6;  // 0 = none
  OsMutex mutex;
  void (*lock)(uint32_t instance);
  void (*unlock)(uint32_t instance);
};

struct DataInstanceOps {
  void (*lock_table)();
  void (*unlock_table)();
  void (*pick_free_instances)();
  int32_t (*free_instance_for_family)(uint32_t family);  // 4, 6 or 7
  int32_t (*instance_of_session)(uint32_t session_id);
  void (*nothing)();
};

struct DataInstanceTable {
  DataInstanceRecord records[kDataInstances];
  OsMutex tableMutex;
  int32_t freeV4;
  int32_t freeV6;
  int32_t freeV4V6;
  DataInstanceOps ops;
};

// The process-wide table, zero-filled at program start.
DataInstanceTable& data_instance_table();
// The record of a client instance, or nullptr for 8 or more.
DataInstanceRecord* data_instance_record(uint32_t instance);

// Prepares mutexes and routines; the session ids are left as they are.
void init_data_instances();

// Output of query_data_instance: a value is stored only where its pointer
// is not null and its TLV came.
struct DataInstanceQuery {
  uint32_t* sessionIdV4;
  uint32_t* sessionIdV6;
};
// Asks the modem for the session ids of one instance (service 1, 0x0102).
uint32_t query_data_instance(uint8_t instance, DataInstanceQuery* output);
// Queries every instance, 7 down to 0, and stores what each successful
// query reports; failures leave that record as it was.
void refresh_data_instances();

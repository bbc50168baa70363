// Starting and attaching to the SDK daemon, and finding and connecting to the
// modem through it.
#pragma once

#include <cstdint>

// What this header declares is the library's interface: the shared library
// exports it and hides everything else.
#pragma GCC visibility push(default)

inline constexpr uint8_t kMaxModems = 12;
inline constexpr uint32_t kDeviceKeySize = 14;  // key bytes ConnectDevice sends back

// The modem that EnumerateDevices found.
struct DeviceInfo {
  char deviceNode[256];  // zero-terminated text
  uint8_t deviceKey[16];
};

// The three texts of GetDeviceTexts, each zero-terminated.
struct DeviceTexts {
  char text1[32];
  char text2[32];
  char text3[32];
};

// Records the daemon executable's path (the text is not copied); nullptr
// selects the compiled-in default. Returns 0.
uint32_t SetDaemonPath(const char* path);
// Makes the daemon for modem index 0..11 run and claims this process's
// channels. 0, 2 or 0xE005 (every channel taken, or the daemon's sockets
// held by a user that is neither root nor ours: see GetForeignDaemonUid).
uint32_t StartDaemon(uint8_t modem, const char* extra_argument);
uint32_t StartDaemonForModem(uint8_t modem);
// StartDaemon for a client that attaches often and quickly (a web page's
// program, a monitoring poll): a daemon present at the first look is taken as
// running, without waiting to see it stay, and one is started only when none
// is there. The daemon answers on every name once its presence shows.
uint32_t AttachDaemon(uint8_t modem, const char* extra_argument);
// The user whose sockets the library last refused to take for the daemon's,
// because it is neither root nor the caller's own user (StartDaemon, or a
// request answered from such a socket, then returned 0xE005); -1 while none was.
int64_t GetForeignDaemonUid();
// Asks the daemon to terminate and logs how it ended. 0, 1 (no daemon
// known: connect first), or the API lock's failure.
uint32_t StopDaemon();
// *count holds the number of records the caller provides (at least 1); on
// success it is 1 and devices[0] describes the modem.
uint32_t EnumerateDevices(uint8_t* count, DeviceInfo* devices);
// Connects to the modem (14 key bytes are sent) and refreshes the
// packet-data instance table.
uint32_t ConnectDevice(const char* device_node, const uint8_t* device_key);
// ConnectDevice without the packet-data instance table's refresh, for a
// client that starts no data sessions.
uint32_t ConnectDeviceOnly(const char* device_node, const uint8_t* device_key);
uint32_t DisconnectDevice();

// The device the daemon is connected to. 5 if the node text (with its
// terminator) or the key does not fit the sizes given.
uint32_t GetConnectedDevice(char* device_node, uint32_t node_size, uint8_t* device_key,
                            uint32_t key_size);
// The daemon's three texts. 5 if one had to be cut to fit its field.
uint32_t GetDeviceTexts(DeviceTexts* texts);
// The daemon's one-byte value (read by the firmware download).
uint32_t GetDeviceByte(uint8_t* value);

#pragma GCC visibility pop

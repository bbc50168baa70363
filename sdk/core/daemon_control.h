// State shared by the daemon management routines.
#pragma once

#include <cstdint>

// The daemon's process id as ConnectDevice learnt it; 0 until then.
int32_t daemon_process_id();
void set_daemon_process_id(int32_t id);

// The user whose socket held the daemon's names when the library last refused
// them for it (neither root nor ours); -1 while that did not happen.
int64_t foreign_daemon_uid();
void note_foreign_daemon(int64_t uid);

// Device service (0xF7) messages.
inline constexpr uint16_t kEnumerateDevicesMessage = 0x0000;
inline constexpr uint16_t kConnectDeviceMessage = 0x0001;
inline constexpr uint16_t kDisconnectDeviceMessage = 0x0002;
inline constexpr uint16_t kConnectedDeviceMessage = 0x0003;
inline constexpr uint16_t kDeviceTextsMessage = 0x0005;
inline constexpr uint16_t kDeviceByteMessage = 0x0006;

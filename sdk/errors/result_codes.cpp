// The message text of every result code: one constant table per group of the
// numbering space and one lookup over them.
#include "vantsdk/result_codes.h"

#include <algorithm>
#include <array>
#include <span>

namespace {

struct CodeText {
  uint32_t code;
  const char* text;
};

// A group answers for the codes first..last. Its table may hold rows past
// last (the end row that marks the boundary, and in the QMI group one more
// unused row before it); those are never shown.
struct CodeGroup {
  uint32_t first;
  uint32_t last;
  std::span<const CodeText> rows;
};

constexpr CodeText kGeneral[] = {
    {0, "Success"},
    {1, "General error"},
    {2, "Internal error"},
    {3, "Memory error"},
    {4, "Invalid argument"},
    {5, "Buffer too small"},
    {6, "Unable to detect WWAN device"},
    {7, "Invalid WWAN device ID"},
    {8, "No connection to WWAN device"},
    {9, "Unable to obtain QMI interace"},
    {10, "Unable to connect to QMI interface"},
    {11, "Unable to schedule QMI request"},
    {12, "Error sending QMI request"},
    {13, "Error receiving QMI response"},
    {14, "Timeout while sending QMI request"},
    {15, "Timeout while receiving QMI response"},
    {16, "Malformed QMI response received"},
    {17, "Invalid QMI response received"},
    {18, "Invalid file path"},
    {19, "Unable to open file"},
    {20, "Unable to copy file"},
    {21, "Not Used"},
    {22, "Not Used"},
    {23, "Not Used"},
    {24, "Not Used"},
    {25, "Not Used"},
    {26, "Not Used"},
    {27, "Unable to set WWAN device offline"},
    {28, "Unable to reset WWAN device"},
    {29, "No available signal"},
    {30, "Multiple WWAN devices detected"},
    {31, "Error interfacing to driver"},
    {32, "No cancelable operation is pending"},
    {33, "Error canceling outstanding operation"},
    {34, "Error api mutex lock timeout"},
    {35, "Error PDU generation error"},
    // 36 and 37 have no text.
    {38, "No more error codes beyond this"},
};

// QMI error n of a failed result TLV is reported as 1000 + n.
constexpr CodeText kQmi[] = {
    {1001, "Malformed or Correupted QMI msg"},
    {1002, "Device could not allocate memory for QMI Resp"},
    {1003, "Unexpected error occurred during processing"},
    {1004, "Processing aborted"},
    {1005, "QMI client IDs have been exhausted"},
    {1006, "Unable to abort QMI transaction"},
    {1007, "Invalid QMI client ID"},
    {1008, "No thresholds were provided"},
    {1009, "Invalid Handle provided in the QMI request"},
    {1010, "Profile specified is invalid"},
    {1011, "Invalid PIN ID specified"},
    {1012, "Incorrect PIN ID specified"},
    {1013, "No network found"},
    {1014, "Call failed"},
    {1015, "Device is not in a call"},
    {1016, "Requested information element not provisioned on device"},
    {1017, "Mandatory QMI TLV not provided"},
    {1018, "Not Used"},
    {1019, "Arg passed in QMI TLV larger than available storage in device"},
    {1020, "Not Used"},
    {1021, "Not Used"},
    {1022, "Invalid TX ID specified"},
    {1023, "Device currently in a call"},
    {1024, "The selected operation is not supported by the network"},
    {1025, "The selected operation is not supported by the device"},
    {1026, "Requested operation would have no effect"},
    {1027, "No space for a profile is available"},
    {1028, "Invalid PDP type specified"},
    {1029, "Invalid technology preference specified"},
    {1030, "Invalid profile type specified"},
    {1031, "Invalid service type specified"},
    {1032, "Invalid register action specified"},
    {1033, "Invalid PS attach/detach action specified"},
    {1034, "Authentication of supplied information element failed"},
    {1035, "PIN is blocked; an unblock operation needs to be issued"},
    {1036, "PIN is permanently blocked; the UIM is unusable"},
    {1037, "UIM initialized has not completed"},
    {1038, " Maximum QOS Requests in Use"},
    {1039, "Incorrect Flow Filter"},
    {1040, "Network QOS Unaware"},
    {1041, "Invalid ID"},
    {1042, "Requested Num not supported"},
    {1043, "Interface Not Found"},
    {1044, "Flow Suspended"},
    {1045, "Invalid Data Format"},
    {1046, "General error"},
    {1047, "Unknown error"},
    {1048, "A specified argument is invalid"},
    {1049, "A specified index is invalid"},
    {1050, "No information element exists at specified memory designation"},
    {1051, "The memory storage specified in the request is full"},
    {1052, "Device not in a ready state"},
    {1053, "Network not in a ready state"},
    {1054, "Error provided in SMS cause code"},
    {1055, "The message could not be sent"},
    {1056, "The message could not be delivered"},
    {1057, "The message ID specified for the message is invalid"},
    {1058, "The message is not encoded properly"},
    {1059, "Maximum number of authentication failures has been reached"},
    {1060, "Operating mode transition from the current mode is invalid"},
    {1061, "Not a MCAST Interface"},
    {1062, "Maximum MCAST Requests in use"},
    {1063, "Invalid MCAST Handle"},
    {1064, "Invalid IP family Preference"},
    {1065, "No tracking session has been started"},
    {1066, "Current session does not allow this operation"},
    {1067, "Current tracking session not started by this QMI control point"},
    {1068, "Device GPS service resources insufficient for request"},
    {1069, "Device GPS service disabled"},
    {1070, "Invalid operation specified"},
    {1071, "Invalid/unknown QMI command specified"},
    {1072, "Message contains TPDU type that cannot be read as raw message"},
    {1073, "The SMSC address specified is invalid"},
    {1074, "Information element is unavailable at this point"},
    {1075, "Segment size too large"},
    {1076, "Segment order is incorrect"},
    {1077, "Bundling not supported"},
    {1078, "Operation Partial Failure"},
    {1079, "Policy Msmatch"},
    {1080, "SIM file not found"},
    {1081, "Extended Internal"},
    {1082, "Access to a required entity is not available"},
    {1083, "Selected operating mode is invalid with current hardware setting"},
    {1084, "Acknowledgement Not Sent"},
    {1085, "Inject Time Out"},
    {1086, "Not Used"},
    {1087, "Not Used"},
    {1088, "Not Used"},
    {1089, "Not Used"},
    {1090, "Incompatible State"},
    {1091, "FDN Restrict"},
    {1092, "SUPS Failure Cause"},
    {1093, "No Radio"},
    {1094, "Not Supported"},
    {1095, "No Subscription"},
    {1096, "Card Call Control Failed"},
    {1097, "Network Aborted"},
    {1098, "Message Blocked"},
    {1099, "Not Used"},
    {1099, "QMI Error Boundary"},
};

// The card-toolkit QMI errors 0xF001..0xF005 under the same 1000 + n rule.
constexpr CodeText kCardToolkit[] = {
    {0xF3E9, "CAT event registration failed"}, {0xF3EA, "Invalid terminal response"},
    {0xF3EB, "Invalid envelope command"},      {0xF3EC, "Card busy response for envelope command"},
    {0xF3ED, "Envelope command failure"},
};

constexpr CodeText kConnectionManager[] = {
    {0xE001, "API yet to be implemented"},
    {0xE002, "QMI Service not supported"},
    {0xE003, "QMI client not supported"},
    {0xE004, "SDK timed out"},
    {0xE005, "socket is in use"},
    {0xE006, "AM Message Header version mismatch"},
    {0xE007, "Failed to kill SDK"},
    {0xE008, "Cannot complete operation while device is in a call"},
    {0xE009, "V4 session inactive, V6 session inactive"},
    {0xE00A, "V4 session inactive, V6 session active"},
    {0xE00B, "V4 session active, V6 session inactive"},
    {0xE00C, "V4 session active, V6 session active"},
    {0xE00D, "Invalid Session ID"},
    {0xE00E, "Invalid Session ID"},
    {0xE00F, "0xE00F - Invalid V6 Session ID"},
    {0xE010, "No available Session Manager slots for additional data sessions"},
    {0xE011, "No more CM error codes beyond this"},
};

constexpr CodeText kSms[] = {
    {0xE101, "Message too long"},
    {0xE102, "Message corrupt octet length too high"},
    {0xE103, "SMSC number missing or corrupt"},
    {0xE104, "No Bearer data present"},
    {0xE105, "No more SMS error codes beyond this"},
};

// The daemon's confirmed changes.
constexpr CodeText kChanges[] = {
    {0xE201, "a change is already pending"},
    {0xE202, "no change is pending"},
    {0xE203, "the change is being reverted"},
    {0xE204, "the change could not be journaled"},
    {0xE205, "the previous state could not be restored yet"},
    {0xE206, "another change is pending"},
    {0xE207, "the change is still being applied"},
};

constexpr CodeText kFirmwareImage[] = {
    {0xE801, "Invalid directory path"},
    {0xE802, "Unable to open the directory"},
    {0xE803, "No Firmware image present in the path"},
    {0xE804, "Unable to open the file"},
    {0xE805, "Firmware image is corrupt"},
    {0xE806, "Firmware not downloaded to device"},
    {0xE807, "Firmware download to device failed"},
    {0xE808, "Firmware preference mismatch ( device offline )"},
    {0xE809, "Firmware upgrade success "},
    {0xE80A, "Enter Download Mode"},
    {0xE80B, "Flash Complete"},
    {0xE80C, "Waiting for Modem to Reboot"},
    // 0xE80D and 0xE80F..0xE812 have no text.
    {0xE80E, "Same as the current active image"},
    {0xE813, "No more IM error codes beyond this"},
};

constexpr std::array<CodeGroup, 7> kGroups{{
    {0, 37, kGeneral},
    {1001, 1098, kQmi},
    {0xF3E9, 0xF3ED, kCardToolkit},
    {0xE001, 0xE010, kConnectionManager},
    {0xE101, 0xE104, kSms},
    {0xE201, 0xE207, kChanges},
    {0xE801, 0xE812, kFirmwareImage},
}};

// The lookup relies on ascending rows (binary search) and disjoint ranges.
constexpr bool rows_ascending(std::span<const CodeText> rows) {
  return std::is_sorted(rows.begin(), rows.end(),
                        [](const CodeText& a, const CodeText& b) { return a.code < b.code; });
}
static_assert(std::all_of(kGroups.begin(), kGroups.end(),
                          [](const CodeGroup& g) { return rows_ascending(g.rows); }));

constexpr bool ranges_disjoint() {
  for (const CodeGroup& a : kGroups)
    for (const CodeGroup& b : kGroups)
      if (&a != &b && a.first <= b.last && b.first <= a.last) return false;
  return true;
}
static_assert(ranges_disjoint());

}  // namespace

const char* result_code_text(uint32_t code) {
  const auto group = std::find_if(kGroups.begin(), kGroups.end(), [code](const CodeGroup& g) {
    return g.first <= code && code <= g.last;
  });
  if (group == kGroups.end()) return nullptr;
  const auto row = std::lower_bound(group->rows.begin(), group->rows.end(), code,
                                    [](const CodeText& r, uint32_t c) { return r.code < c; });
  if (row == group->rows.end() || row->code != code) return nullptr;
  return row->text;
}

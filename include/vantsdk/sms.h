// Short-message user data to text: the TP-User-Data of a received PDU, given
// as hexadecimal text, decoded according to its data coding.
//
// Typical use:
//
//   uint8_t text[200];
//   uint8_t length = sizeof text;            // in: capacity, out: bytes written
//   uint8_t reference, total, sequence;      // set only when a header is present
//   uint32_t rc = Pdu2text("0AE8329BFD4697D9EC37", 20, &length, text, false,
//                          vant::kSmsCodingGsm7, &reference, &total, &sequence);
//   // rc == 0: text holds "hellohello" and a terminating zero, length == 10.
//
// Input: the user data length (UDL) octet and then the user data octets, two
// hexadecimal digits each, upper or lower case. A character below "0" makes
// its octet 0; any other character that is not a hexadecimal digit makes the
// text corrupt (0xE102).
//
// Data coding: 0 (vant::kSmsCodingGsm7) GSM 7-bit default alphabet, UDL in
// septets; 4 (kSmsCoding8Bit) 8-bit data, UDL in octets; 8 (kSmsCodingUcs2)
// UCS2, UDL in octets.
//
// Output: 7-bit and 8-bit data are mapped through the GSM default alphabet
// (3GPP TS 23.038). 0x1B is always the escape code: it writes nothing and
// looks the next value up in the extension table (a trailing 0x1B writes
// nothing at all). Each character is written as its code point:
// one byte below U+0100, else two bytes high byte first (so "Δ" is 0x03 0x94,
// "€" 0x20 0xAC, "£" the single byte 0xA3). A zero byte ends the text; the
// length does not count it. An escaped value the extension table lacks is
// written as its own value. 8-bit octets of 0x80 and above, which the 128-entry
// alphabet does not cover, are written as the one byte of the same value: their
// ISO 8859-1 code point. That fits the output's one-byte-per-Latin-1-character
// form, keeps the octet unchanged, and cannot be confused with a two-byte
// character the way U+FFFD (0xFF 0xFD) could. UCS2 data is handed back as its
// raw octets, without a terminator.
//
// Capacity: *length on entry is the number of bytes text can hold, and no call
// writes past it: every character is written only when it and the terminator
// both fit (else result 4).
//
// User data header: when present it must be a single concatenation element
// (header length 5, identifier 0); its reference, total and sequence numbers
// are stored and the header is not part of the text. It takes the first 7
// septets of 7-bit data, the first 6 octets of 8-bit and UCS2 data.
//
// Results (vantsdk/result_codes.h):
//   0       success, *length = bytes written
//   4       a null argument; the output does not fit the capacity
//   5       capacity below the UDL; *length then holds the UDL (a lower bound
//           of the bytes needed: add the terminator and any two-byte characters)
//   1094    a data coding other than 0, 4, 8; a header element other than
//           a concatenation element
//   0xE101  UDL above 160 (7-bit) or 140 (8-bit)
//   0xE102  hexadecimal text whose length does not match the UDL, a character
//           that is not a hexadecimal digit, a malformed header
// On failure text may hold part of the output.
//
// Trace lines: failures of the length and header tests print "\n-<function>:<n>-\n"
// on standard error; n identifies the test: Pdu2text 1611 (7-bit UDL), 1617
// (8-bit UDL); PduDefaultEncoding2text 1122 (hex length), 1138 (shorter than 15
// characters), 1147 (shorter than the header), 1169 (header length below 2),
// 1158 (not a concatenation element), 1163 (header length not 5);
// PduEncoded2text 1348, 1363, 1372, 1394, 1383, 1388 for the same tests.
//
// Thread safety: no shared state; calls on different buffers may run at once.
#pragma once

#include <cstdint>

// What this header declares is the library's interface: the shared library
// exports it and hides everything else.
#pragma GCC visibility push(default)

namespace vant {

inline constexpr uint8_t kSmsCodingGsm7 = 0;
inline constexpr uint8_t kSmsCoding8Bit = 4;
inline constexpr uint8_t kSmsCodingUcs2 = 8;

}  // namespace vant

// Decodes the user data in hex (hex_length characters) with the given data
// coding. reference, total and sequence are needed only when has_header.
uint32_t Pdu2text(const char* hex, uint32_t hex_length, uint8_t* length, uint8_t* text,
                  bool has_header, uint8_t data_coding, uint8_t* reference, uint8_t* total,
                  uint8_t* sequence);

// 7-bit data; udl counts septets (Pdu2text reads it from hex).
uint32_t PduDefaultEncoding2text(const char* hex, uint32_t hex_length, uint8_t* length,
                                 uint8_t* text, bool has_header, uint8_t udl, uint8_t* reference,
                                 uint8_t* total, uint8_t* sequence);

// 8-bit (data_coding 4) and UCS2 (data_coding 8) data; udl counts octets.
uint32_t PduEncoded2text(const char* hex, uint32_t hex_length, uint8_t* length, uint8_t* text,
                         bool has_header, uint8_t udl, uint8_t data_coding, uint8_t* reference,
                         uint8_t* total, uint8_t* sequence);

#pragma GCC visibility pop

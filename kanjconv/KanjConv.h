#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Japanese code detection and conversion: JIS (ISO-2022-JP) and EUC-JP to Shift-JIS.
// Every routine reads its input up to the first zero byte (or its end) and never past it;
// outputs are new Shift-JIS byte strings. There is no conversion out of Shift-JIS.

// Detection flags, combined with a bitwise or by AutoDetect.
constexpr int kSjisFlag = 1;
constexpr int kEucFlag = 2;
constexpr int kJisFlag = 4;

// Converts after detecting the encoding: EUC when only the EUC test holds, JIS when the JIS
// test holds, otherwise the text unchanged (up to its first zero byte).
std::string AutoDetect(std::string_view text);
// JIS (escape sequences switch between one- and two-byte mode) to Shift-JIS.
std::string JisToSjis(std::string_view text);
// EUC-JP to Shift-JIS.
std::string EucToSjis(std::string_view text);
// One two-byte JIS or EUC code (first byte in the high 8 bits) to its Shift-JIS code.
uint16_t JisCodeToSjis(uint16_t code);

// Detection tests: each returns its flag when the text passes, else 0.
int IsSjisText(std::string_view text);
int IsEucText(std::string_view text);
int IsJisText(std::string_view text);

// Shift-JIS byte classes: lead 0x81-0x9F or 0xE0-0xFC; trail 0x40-0xFC.
bool IsSjisLead(uint8_t b);
bool IsSjisTrail(uint8_t b);

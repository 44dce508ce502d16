#pragma once

#include "engine/EngineTypes.h"

#include <cstdint>
#include <string>

// The dotted-quad test: only digits and dots, exactly three dots (no range check).
bool IsIPAddress(const std::string& text);
// Dotted quads, and texts of lower-case letters, digits, "-" and "." (the empty text too).
bool IsHostName(const std::string& text);
// "%u.%u.%u.%u" of an address in network byte order, first octet first.
std::string IPToStr(uint32_t address);
// One forward (name) or reverse (dotted text) lookup into `host`; blocks on the resolver.
void ResolveHost(const std::string& text, TagHostEnt& host);
struct TWSAERROR {
    int32_t Code;
    const char* Name;
};
constexpr int WSAErrorCount = 51;
extern const TWSAERROR WSAErrorTable[WSAErrorCount];

// "Error " and the WinSock name of the code, or "Unknown Error!".
std::string WSAErrorText(int32_t code);

#pragma once

#include <string_view>

// Whether a server name taken from an answer may be asked: a host name or dotted address of
// ASCII letters, digits, hyphens and dots, in labels of 1 to 63 characters, at most 253 in
// all (one final dot aside). A server writes what it likes into a referral line; anything
// else could carry terminal controls or odd bytes on to the lookup and the screen.
bool IsValidServerName(std::string_view name);

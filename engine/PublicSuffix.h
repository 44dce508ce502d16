#pragma once

#include <string_view>

// Whether a name is an ICANN public suffix ("jp", "co.jp", "kawasaki.jp") by the Public
// Suffix List that libpsl finds on the system. No registry holds a record of such a name for
// anyone, so a WHOIS chain never asks for one in place of the user's name. Letter case, a
// final dot and a "/e"-style flag after a slash do not matter. False when no list is found.
bool IsPublicSuffix(std::string_view name);

#pragma once

#include <string>
#include <string_view>

// The text a WHOIS query goes out as on port 43: a name with non-ASCII letters in its IDNA
// form ("日本語.jp" -> "xn--wgv71a119e.jp"), a "/e"-style suffix after a slash kept as it is.
// A query with blanks inside, or that is no valid name, is sent unchanged; an ASCII query
// always.
std::string WhoisWireQuery(std::string_view query);

// The form a WHOIS query goes out in: IDNA for names with non-ASCII labels.
#include "engine/WhoisIdna.h"

#include <gtest/gtest.h>

namespace {

TEST(WhoisWireQuery, NonAsciiNamesGoOutInTheirIdnaForm) {
    struct Case {
        const char* typed;
        const char* sent;
    } cases[] = {
        {"example.jp", "example.jp"}, // ASCII stays byte for byte
        {"Example.JP", "Example.JP"}, // even its letter case
        {"日本語.jp", "xn--wgv71a119e.jp"},
        {"ドメイン名例.jp/e", "xn--eckwd4c7cu47r2wf.jp/e"}, // JPRS's English suffix kept
        {"BÜCHER.de", "xn--bcher-kva.de"},                  // mapped to lower case first
        {"faß.de", "xn--fa-hia.de"},                        // IDNA2008: ß is kept
        {"ＥＸＡＭＰＬＥ.jp", "example.jp"},                // full-width letters
        {"한국.kr", "xn--3e0b707e.kr"},
        {"-h 日本語.jp", "-h 日本語.jp"}, // words are no name: sent as typed
        {"日本語 .jp", "日本語 .jp"},
        {"  日本語.jp ", "  xn--wgv71a119e.jp "},
        {"\xE6\x97", "\xE6\x97"}, // broken UTF-8 is sent as it is
        {"a\xC2\xA0"
         "b.jp",
         "a\xC2\xA0"
         "b.jp"}, // a mapping to a blank is refused
        {"a_b.日本", "a_b.xn--wgv71a"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WhoisWireQuery(c.typed), c.sent) << c.typed;
}

} // namespace

// The chain's decisions: a new referral first, no query twice to one server, the useful
// answer kept, the first answer at a chain's end, and the texts they rest on. Whole chains
// against real answers are in the window's tests (WhoisCorpusChainTest).
#include "engine/WhoisChain.h"
#include "engine/WhoisText.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

using Strings = std::vector<std::string>;

const Strings kKeys{"NetRange:", "inetnum:"};

// Drives one chain the way a front end does: each answer of a fake server goes through
// ChooseWhoisStep, and the step it picks decides which server is asked what next.
struct Chain {
    std::function<std::string(const std::string& server, const std::string& query)> answer;
    std::function<int(const std::string& server)> error = [](const std::string&) { return 0; };
    Strings candidates;
    bool autoChange = true;
    bool sweep = true;
    WhoisChainState state;
    Strings asks;
    std::vector<ChainView> views; // each step's, in order, and its text at the time
    Strings texts;
    int rdapConsulted = 0; // RDAP never serves here; only when it is asked counts

    WhoisStep Run(const std::string& server, const std::string& query) {
        std::string asked = server, q = query;
        WhoisStep step;
        for (int n = 0; n < 30; ++n) {
            asks.push_back(asked + " " + q);
            WhoisAnswer a;
            a.ErrorCode = error(asked);
            a.Query = a.QueryText = q;
            a.LastQuery = query;
            a.Converted = a.ErrorCode ? std::string() : answer(asked, q);
            a.AskedServer = a.CurrentTarget = asked;
            a.AutoChange = autoChange;
            a.SweepCheck = sweep;
            a.RdapReady = [this] { return ++rdapConsulted, false; };
            step = ChooseWhoisStep(a, kKeys, state, [this] {
                if (candidates.empty())
                    return std::string();
                std::string next = candidates.front();
                candidates.erase(candidates.begin());
                return next;
            });
            views.push_back(step.View);
            texts.push_back(ChainText(state, step.View, TextStyle::Window));
            if (step.kind == WhoisStep::Hit || step.kind == WhoisStep::End)
                break;
            if (step.kind != WhoisStep::RetryParent)
                asked = step.Server;
            q = step.Query;
        }
        return step;
    }
};

const char* kArinBlock = "NetRange: 144.0.0.0 - 144.255.255.255\r\n"
                         "\r\n"
                         "ReferralServer: whois://whois.apnic.test\r\n";
const char* kApnicBlock = "% [whois.apnic.test]\r\n\r\ninetnum: 144.134.0.0 - 144.134.255.255\r\n";

TEST(ChainDecisions, NewReferralIsFollowedBeforeTheHitOnlyWithAutoJump) {
    Chain on;
    on.answer = [](const std::string& s, const std::string&) {
        return s == "whois.arin.test" ? kArinBlock : kApnicBlock;
    };
    WhoisStep s = on.Run("whois.arin.test", "144.134.121.81");
    EXPECT_EQ(on.asks,
              (Strings{"whois.arin.test 144.134.121.81", "whois.apnic.test 144.134.121.81"}));
    EXPECT_EQ(s.kind, WhoisStep::Hit);
    EXPECT_NE(ChainText(on.state, s.View, TextStyle::Window).find("inetnum: 144.134.0.0"),
              std::string::npos);
    EXPECT_EQ(on.rdapConsulted, 0); // a hit never reads the RDAP bootstrap

    Chain off = on;
    off.autoChange = false;
    off.asks.clear();
    s = off.Run("whois.arin.test", "144.134.121.81");
    EXPECT_EQ(off.asks, Strings{"whois.arin.test 144.134.121.81"});
    EXPECT_EQ(s.kind, WhoisStep::Hit);
}

TEST(ChainDecisions, AFailedStepKeepsTheUsefulAnswerOnShow) {
    WhoisChainState state;
    WhoisAnswer a;
    a.Query = a.QueryText = a.LastQuery = "example.jp";
    a.AskedServer = a.CurrentTarget = "whois.a.test";
    a.Converted = "No match!!\r\n";
    a.SweepCheck = true;
    WhoisStep s = ChooseWhoisStep(a, kKeys, state, [] { return "whois.b.test"; });
    ASSERT_EQ(s.kind, WhoisStep::NextCandidate);
    a.AskedServer = a.CurrentTarget = "whois.b.test";
    a.ErrorCode = 10061;
    a.Converted = "Error WSAECONNREFUSED";
    s = ChooseWhoisStep(a, kKeys, state, [] { return "whois.c.test"; });
    EXPECT_EQ(s.kind, WhoisStep::NextCandidate);
    EXPECT_EQ(ChainText(state, s.View, TextStyle::Window),
              "whois -h whois.a.test example.jp\r\n\r\nNo match!!\r\n\r\n"
              "No answer from whois.b.test: Error WSAECONNREFUSED");
}

// An RDAP step's text is shown as rendered: only blanks around it go, a final dot stays.
TEST(ChainDecisions, TheRdapTextKeepsItsLastDot) {
    for (const bool hit : {true, false}) {
        WhoisChainState state;
        const WhoisStep s = ChooseRdapEnd(
            {hit, false, {"https://r.test/domain/a.test"}, " Notice\n  ...\n\n"}, "a.test", state);
        EXPECT_EQ(s.kind, hit ? WhoisStep::Hit : WhoisStep::End);
        EXPECT_EQ(ChainText(state, s.View, TextStyle::Window),
                  "rdap https://r.test/domain/a.test\r\n\r\nNotice\r\n  ...");
    }
}

TEST(ChainDecisions, WithoutRegistryTheFirstAnswerToTheUsersQueryStands) {
    Chain c;
    c.candidates = {"whois.b.test", "whois.c.test"};
    c.answer = [](const std::string& s, const std::string&) { return "no record at " + s; };
    WhoisStep s = c.Run("whois.a.test", "example.xyz");
    EXPECT_EQ(c.asks.size(), 3u);
    EXPECT_EQ(c.rdapConsulted, 1); // only once every server of the sweep has answered
    EXPECT_EQ(ChainText(c.state, s.View, TextStyle::Window),
              "whois -h whois.a.test example.xyz\r\n\r\nno record at whois.a.test"
              "\r\n\r\nServers asked: whois.a.test, whois.b.test, whois.c.test");
}

TEST(ChainDecisions, NoQueryGoesTwiceToOneServer) {
    Chain c;
    // The queue names the server asked first again, in other letter case; the retry's parent
    // was asked there already by the user.
    c.candidates = {"WHOIS.A.TEST.", "whois.b.test"};
    c.answer = [](const std::string&, const std::string&) { return "No match"s; };
    c.Run("whois.a.test", "www.example.jp");
    EXPECT_EQ(c.asks, (Strings{"whois.a.test www.example.jp", "whois.a.test example.jp",
                               "whois.b.test www.example.jp", "whois.b.test example.jp"}));
}

// The chain keeps what servers answered; each step's text is written from those records in
// either style, and a step's text reads the same after the chain went on.
TEST(ChainDecisions, EachStepsTextIsWrittenFromTheRecordsInBothStyles) {
    const std::string refused = "whois.b.test (connection refused)";
    struct Row {
        std::string name;
        std::function<std::string(const std::string&)> answer;
        std::function<int(const std::string&)> error;
        std::string window, plain;
    } rows[] = {
        {"the user's answer, then the failure of the last step",
         [](const std::string& s) { return "no record at " + s; },
         [](const std::string& s) { return s == "whois.a.test" ? 0 : 10061; },
         "whois -h whois.a.test x.xyz\r\n\r\nno record at whois.a.test\r\n\r\n"
         "No answer from whois.c.test: Error WSAECONNREFUSED\r\nServers asked: whois.a.test, "
         "whois.b.test (Error WSAECONNREFUSED), whois.c.test (Error WSAECONNREFUSED)",
         "no record at whois.a.test\r\n\r\nNo answer from whois.c.test: connection refused\r\n"
         "Servers asked: whois.a.test, " +
             refused + ", whois.c.test (connection refused)"},
        // Every server failed: the last command line and the servers; no answer to show.
        {"every server failed", [](const std::string&) { return ""s; },
         [](const std::string&) { return 10061; },
         "whois -h whois.c.test x.xyz\r\n\r\n\r\n\r\nServers asked: whois.a.test (Error "
         "WSAECONNREFUSED), whois.b.test (Error WSAECONNREFUSED), whois.c.test (Error "
         "WSAECONNREFUSED)",
         "\r\n\r\nServers asked: whois.a.test (connection refused), " + refused +
             ", whois.c.test (connection refused)"},
    };
    for (const Row& row : rows) {
        Chain c;
        c.candidates = {"whois.b.test", "whois.c.test"};
        c.answer = [&row](const std::string& s, const std::string&) { return row.answer(s); };
        c.error = row.error;
        const auto step = c.Run("whois.a.test", "x.xyz");
        EXPECT_EQ(ChainText(c.state, step.View, TextStyle::Window), row.window) << row.name;
        EXPECT_EQ(ChainText(c.state, step.View, TextStyle::Plain), row.plain) << row.name;
        for (size_t k = 0; k < c.views.size(); ++k)
            EXPECT_EQ(ChainText(c.state, c.views[k], TextStyle::Window), c.texts[k]) << row.name;
    }
    // A view names the servers asked up to its step, not those asked after it.
    Chain c;
    c.answer = [](const std::string&, const std::string&) { return "x"s; };
    c.candidates = {"whois.b.test"};
    c.Run("whois.a.test", "x.xyz");
    ChainView first;
    first.ServersUpTo = 1;
    EXPECT_EQ(ChainText(c.state, first, TextStyle::Plain), "Servers asked: whois.a.test");
}

// Address space is never asked again as a "parent": 192.0.2.0/24 is no domain under 0.2.0/24.
TEST(ChainDecisions, OnlyDomainsGetTheParentRetry) {
    const struct {
        const char* query;
        Strings asks;
    } cases[] = {
        {"192.0.2.0/24", {"whois.a.test 192.0.2.0/24"}},
        {"192.0.2.7", {"whois.a.test 192.0.2.7"}},
        {"2001:db8::/32", {"whois.a.test 2001:db8::/32"}},
        {"AS64496", {"whois.a.test AS64496"}},
        {"www.example.jp", {"whois.a.test www.example.jp", "whois.a.test example.jp"}},
    };
    for (const auto& c : cases) {
        Chain chain;
        chain.answer = [](const std::string&, const std::string&) { return "No match"s; };
        chain.Run("whois.a.test", c.query);
        EXPECT_EQ(chain.asks, c.asks) << c.query;
    }
}

TEST(RegisteredName, TheLabelAboveTheIcannSuffix) {
    for (const auto& [query, name] : std::vector<std::pair<std::string, std::string>>{
             {"a.b.example.co.jp", "example.co.jp"},
             {"example.co.jp", ""},
             {"x.y.example.unlisted", "example.unlisted"},
             {"198.18.0.1", ""}})
        EXPECT_EQ(RegisteredName(query), name) << query;
}

TEST(ShownBody, OnlyALeadingBannerIsHidden) {
    const Strings keys{"Domain Information:"};
    struct Case {
        const char* answer;
        const char* shown;
    } cases[] = {
        // JPRS since 2023: no blank line between the banner and "No match!!".
        {"[ JPRS database ]\r\n[ use /e ]\r\nNo match!!\r\n\r\nnotes\r\n",
         "No match!!\r\n\r\nnotes"},
        {"% IANA\r\n%\r\n\r\nrefer: x\r\n\r\n% trailer\r\n", "refer: x\r\n\r\n% trailer"},
        {"\r\n#\r\n# ARIN\r\n#\r\n\r\n\r\nNetRange: 1\r\n", "NetRange: 1"},
        // A notice paragraph before the record, but not a lone one or a no-match text.
        {"Whois Server Version 2.0\r\n\r\nDomain names can now be registered. Go to "
         "http://x\r\n\r\n   Domain Name: X.COM\r\n",
         "Domain Name: X.COM"},
        {"No match for \"X.COM\".\r\n\r\n>>> Last update <<<\r\n",
         "No match for \"X.COM\".\r\n\r\n>>> Last update <<<"},
        {"We do not have an entry in our database matching your query.\r\n\r\n",
         "We do not have an entry in our database matching your query."},
        {"NOTICE: terms\r\n\r\nDomain: a.de\r\n", "NOTICE: terms\r\n\r\nDomain: a.de"},
        {"[ banner ]\r\n", "[ banner ]"}, // all banner (IANA's no-match): shown whole
        {"Error WSAECONNREFUSED", "Error WSAECONNREFUSED"},
        {"% (c)\r\n\r\n% No match for \"x.br\"\r\n% cert", "% No match for \"x.br\"\r\n% cert"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ShownBody(c.answer, keys), c.shown) << c.answer;
}

TEST(FindReferralFor, TheQuerysOwnBlockAndIanasReferOnlyBelowIt) {
    const std::string old =
        "   Server Name: GOOGLE.COM.EVIL.TEST\r\n   Whois Server: whois.evil.test\r\n"
        "\r\n   Domain Name: GOOGLE.COM\r\n   Registrar: R\r\n"
        "   Whois Server: whois.right.test\r\n";
    EXPECT_EQ(FindReferralFor(old, "google.com"), "whois.right.test");
    EXPECT_EQ(FindReferralFor("x\r\n\r\n" + old, "other.com"), "whois.evil.test");
    const std::string iana =
        "% IANA\r\n\r\nrefer:        whois.nic.test\r\n\r\ndomain:       COM\r\n";
    EXPECT_EQ(FindReferralFor(iana, "com"), "");
    EXPECT_EQ(FindReferralFor(iana, "example.com"), "whois.nic.test");
}

TEST(RecordNamesQuery, NamedRecordsButNotFreeNames) {
    struct Case {
        const char* answer;
        const char* query;
        bool named;
    } cases[] = {
        {"domain:       NATO.INT\r\n", "nato.int", true},
        {"   Domain Name: GOOGLE.COM\r\n", "google.com.", true},
        {"Domain Name: GOOGLE.COM.AU\r\n", "google.com", false},
        {"domain: JP\r\n", "nonexist.co.jp", false},
        {"Domain: u.de\r\nStatus: free\r\n", "u.de", false},
        {"Domain:\tu.eu\r\nStatus:\tAVAILABLE\r\n", "u.eu", false},
        {"Domain name:   u.ca\r\nDomain status:   available\r\n", "u.ca", false},
        {"Domain Name: a.com\r\n% No match for b\r\n", "a.com", false},
        {"Domain Name: a.com\r\n", "", false},
        {"domain_name   \t: google.co.nz\r\n", "google.co.nz", true},
        {"** Domain Name............: google.com.tr\r\n", "google.com.tr", true},
        {"Domain GOOGLE.KG (ACTIVE)\r\n", "google.kg", true},
        {"Domain:\r\nname:       google.ee\r\n", "google.ee", true},
        {"Domain:xn--bcher-kva.test\r\n", "b\u00fccher.test", true},
        {"domain: b\u00fccher.test\r\n", "xn--bcher-kva.example", false},
        {"Domains: google.tm\r\nDomain ID: google.tm\r\n", "google.tm", false},
        {"Domain:.............google.fi\r\n", "google.fi", true},
        {"Domain:.............google.fi\r\n", "google.fo", false},
        // Record-name shapes above; below, no-matches in a status value, on or below the name's
        // line or about the name, the same words elsewhere in records, and the 40-byte label.
        {"Domain Name: u.cx\r\nDomain Status: No Object Found\r\n", "u.cx", false},
        {"Dominio: u.bo\r\nEstado: libre\r\n", "u.bo", false},
        {"Domain Name: u.test (not registered)\r\n", "u.test", false},
        {"Domain name: u.test\r\nThis domain is available for registration.\r\n", "u.test", false},
        {"Domain: u.se\r\n% domain \"u.se\" not found.\r\n", "u.se", false},
        {"Domain: u.test\r\nnote \x01u.test is free\r\n", "u.test", false},
        {"*** Nothing found for this query.\r\nDomain: u.kz\r\n", "u.kz", false},
        {"Domain name: a.test\r\nRemarks: details are available at w.test\r\n", "a.test", true},
        {"Domain name: a.test\r\nRegistrar: R\r\nb.test is free\r\n", "a.test", true},
        {"Domain: a.test\r\nStatus: registered, not available\r\n", "a.test", true},
        {"Domain: u.test\r\nxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxstatus: free\r\n", "u.test", false},
        {"Domain: a.test\r\nxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxstatus: free\r\n", "a.test", true},
        // A name server's object not found inside the record; a free name above its name line.
        {"Domain Name: a.test\r\nNo match for nameserver \"NS9.A.TEST\".\r\n", "a.test", true},
        {"Domain Name: a.test\r\n% Not found: host object ns1.b.test\r\n", "a.test", true},
        {"Domain Name: a.test\r\nnserver: x\r\nNo entries found.\r\n", "a.test", false},
        {"AVAILABLE\r\nDomain: u.test\r\n", "u.test", false},
        {"% This domain name is available for registration!\r\nDomain: u.test\r\n", "u.test",
         false},
        {"Name is free.\r\nDomain: u.test\r\n", "u.test", false},
        {"Not all fields are available\r\nDomain: a.test\r\n", "a.test", true},
        {"Domain: available\r\nDomain: a.test\r\n", "a.test", true},
        {"Domain: a.test\r\nRegistrar: R\r\nNot registered\r\n", "a.test", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RecordNamesQuery(c.answer, c.query), c.named) << c.answer;
}

} // namespace

// Parent retries stop at the registered name, at most kMaxParentRetries at a server, the last
// going straight to the registered name; a query of words has no parent.
TEST(ChainDecisions, ParentRetriesAreBoundedAndEndAtTheRegisteredName) {
    struct Row {
        std::string query;
        Strings candidates;
        std::string asks;
    } rows[] = {
        {"www.example.co.jp", {}, "s www.example.co.jp|s example.co.jp|"},
        {"exa mple.com", {}, "s exa mple.com|"},
        // Four names above the registered one: each asked in turn.
        {"a.b.c.d.example.jp",
         {},
         "s a.b.c.d.example.jp|s b.c.d.example.jp|s c.d.example.jp|"
         "s d.example.jp|s example.jp|"},
        // Five: the fourth retry skips e.example.jp for the registered name.
        {"a.b.c.d.e.example.jp",
         {"t"},
         "s a.b.c.d.e.example.jp|s b.c.d.e.example.jp|s c.d.e.example.jp|s d.e.example.jp|"
         "s example.jp|t a.b.c.d.e.example.jp|t b.c.d.e.example.jp|t c.d.e.example.jp|"
         "t d.e.example.jp|t example.jp|"},
    };
    for (const Row& row : rows) {
        Chain c;
        c.candidates = row.candidates;
        c.answer = [](const std::string&, const std::string&) { return "No match"s; };
        c.Run("s", row.query);
        std::string asks;
        for (const std::string& ask : c.asks)
            asks += ask + "|";
        EXPECT_EQ(asks, row.asks) << row.query;
    }
}

TEST(NameLimits, DomainNamesDnsCannotHoldAreMeasured) {
    const std::string l63(63, 'a'), l64(64, 'a');
    // 253 bytes: 63 + 1 + 63 + 1 + 63 + 1 + 61.
    const std::string n253 = l63 + "." + l63 + "." + l63 + "." + std::string(61, 'b');
    struct Row {
        std::string query;
        NameLimit::Kind kind;
        size_t bytes, label;
    } rows[] = {
        {n253, NameLimit::Fits, 0, 0},
        {n253 + ".", NameLimit::Fits, 0, 0}, // the final dot does not count
        {"c" + n253, NameLimit::NameTooLong, 254, 0},
        {l63 + ".test", NameLimit::Fits, 0, 0},
        {"x." + l64 + ".test", NameLimit::LabelTooLong, 64, 2},
        {l64 + ".jp/e", NameLimit::LabelTooLong, 64, 1}, // JPRS's flag is no part of the name
        {l64 + " x.test", NameLimit::Fits, 0, 0},        // words, not a name
        // Measured in the IDNA form the query goes out in: these 30 kanji are 90 bytes of
        // UTF-8, 45 in that form.
        {"日本語日本語日本語日本語日本語日本語日本語日本語日本語日本語.jp", NameLimit::Fits, 0, 0},
    };
    for (const Row& row : rows) {
        const NameLimit limit = CheckNameLimits(row.query);
        EXPECT_EQ(limit.kind, row.kind) << row.query;
        EXPECT_EQ(limit.bytes, row.bytes) << row.query;
        EXPECT_EQ(limit.label, row.label) << row.query;
    }
}

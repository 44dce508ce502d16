// Every answer of the corpus of real WHOIS answers (tests/data/whois, sources in its README)
// through the chain's first decision with the shipped Servhit.key, against the verdict a
// person reading the answer gave it before this code ran on it.
#include "engine/HostRoutines.h"
#include "engine/WhoisChain.h"
#include "engine/WhoisText.h"
#include "platform/TextFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

enum Verdict { kHit, kReferral, kNoMatch };

struct CorpusAnswer {
    const char* file;
    const char* server; // the server that gave the answer
    const char* query;
    Verdict verdict;
    const char* referral = ""; // kReferral: the server a reader goes on to
};

const CorpusAnswer kCorpus[] = {
    {"jprs-google.jp-e.txt", "whois.jprs.jp", "google.jp", kHit},
    {"jprs-no-match-e.txt", "whois.jprs.jp", "example.jp", kNoMatch},
    {"jprs-no-match-ja.txt", "whois.jprs.jp", "example.jp", kNoMatch},
    {"jprs-yahoo.co.jp-ja.txt", "whois.jprs.jp", "yahoo.co.jp", kHit},
    {"jprs-abs.jp-e.txt", "whois.jprs.jp", "abs.jp", kHit},
    {"jpnic-218.43.43.43-ja-iso2022jp-reconstructed.txt", "whois.nic.ad.jp", "218.43.43.43", kHit},
    {"jpnic-no-match-e.txt", "whois.nic.ad.jp", "43.0.0.1", kNoMatch},
    {"jpnic-as2515-ja.txt", "whois.nic.ad.jp", "AS 2515", kHit},
    {"verisign-google.com-modern-registrar-whois-server.txt", "whois.verisign-grs.com",
     "google.com", kReferral, "whois.markmonitor.com"},
    {"verisign-simonecarletti.com-thin-enom.txt", "whois.verisign-grs.com", "simonecarletti.com",
     kReferral, "whois.enom.com"},
    {"verisign-old-google.com-many-whois-servers-excerpt.txt", "whois.verisign-grs.com",
     "google.com", kReferral, "whois.markmonitor.com"},
    {"verisign-old-thin-no-registrar-server.txt", "whois.verisign-grs.com",
     "vrsn-20100925-dnssecmonitor86.net", kHit},
    {"verisign-no-match-com.txt", "whois.verisign-grs.com", "u34jedzcq.com", kNoMatch},
    {"markmonitor-google.com-thick.txt", "whois.markmonitor.com", "google.com", kHit},
    {"iana-com-refer.txt", "whois.iana.org", "iceagesaga.com", kReferral, "whois.verisign-grs.com"},
    {"iana-nato.int-record.txt", "whois.iana.org", "nato.int", kHit},
    {"iana-ip6.arpa-record.txt", "whois.iana.org", "ip6.arpa", kHit},
    {"iana-int-no-match.txt", "whois.iana.org", "u34jedzcq.int", kNoMatch},
    {"arin-144.134.121.81-referral-apnic.txt", "whois.arin.net", "144.134.121.81", kReferral,
     "whois.apnic.net"},
    {"arin-130.66.76.222-referral-ripe.txt", "whois.arin.net", "130.66.76.222", kReferral,
     "whois.ripe.net"},
    {"arin-4.2.2.1-no-referral.txt", "whois.arin.net", "4.2.2.1", kHit},
    {"arin-199.43.0.44.txt", "whois.arin.net", "199.43.0.44", kHit},
    {"ripe-128.79.0.0.txt", "whois.ripe.net", "128.79.0.1", kHit},
    {"kr-google.kr-korean-utf8.txt", "whois.kr", "google.kr", kHit},
    {"kr-no-match.txt", "whois.kr", "u34jedzcq.kr", kNoMatch},
    {"cn-no-match.txt", "whois.cnnic.cn", "example.cn", kNoMatch},
    {"cnnic-google.cn.txt", "whois.cnnic.cn", "google.cn", kHit},
    {"twnic-google.com.tw.txt", "whois.twnic.net.tw", "google.com.tw", kHit},
    {"twnic-no-match.txt", "whois.twnic.net.tw", "u34jedzcq.tw", kNoMatch},
    {"denic-google.de.txt", "whois.denic.de", "google.de", kHit},
    {"denic-no-match.txt", "whois.denic.de", "u34jedzcq.de", kNoMatch},
    {"nominet-no-match.txt", "whois.nic.uk", "u34jedzcq.co.uk", kNoMatch},
    {"registro.br-no-match.txt", "whois.registro.br", "u34jedzcq.br", kNoMatch},
    {"nicbr-nic.rio-record.txt", "whois.gtlds.nic.br", "nic.rio", kHit},
    {"eurid-no-match.txt", "whois.eu", "u34jedzcq.eu", kNoMatch},
    {"cira-google.ca.txt", "whois.cira.ca", "google.ca", kHit},
    {"cira-no-match.txt", "whois.cira.ca", "u34jedzcq.ca", kNoMatch},
    {"switch-switch.ch.txt", "whois.nic.ch", "switch.ch", kHit},
    {"switch-no-match.txt", "whois.nic.ch", "u34jedzcq.ch", kNoMatch},
    {"auda-google.com.au.txt", "whois.auda.org.au", "google.com.au", kHit},
};

const char* Name(Verdict v) {
    return v == kHit ? "hit" : v == kReferral ? "referral" : "no match";
}

// The chain's decision in the reader's terms.
std::string Decided(const WhoisStep& step) {
    switch (step.kind) {
    case WhoisStep::Hit:
        return "hit";
    case WhoisStep::FollowReferral:
        return "referral to " + step.Server;
    default:
        return "no match";
    }
}

std::string Expected(const CorpusAnswer& c) {
    return c.verdict == kReferral ? std::string("referral to ") + c.referral : Name(c.verdict);
}

TEST(Corpus, ChainDecidesAsTheReaderForNearlyEveryAnswer) {
    std::vector<std::string> keys;
    ASSERT_TRUE(LoadHitKeys(std::string(ZW_DATA_DIR) + "/Servhit.key", keys));
    std::vector<std::string> servers;
    int agreed = 0;
    for (const auto& c : kCorpus) {
        std::string raw;
        ASSERT_TRUE(platform::ReadFileBytes(std::string(ZW_WHOIS_CORPUS) + "/" + c.file, raw))
            << c.file;
        WhoisAnswer a;
        a.Query = a.QueryText = a.LastQuery = c.query;
        a.Converted = PrepareAnswer(raw, kCodeAuto);
        a.AskedServer = a.CurrentTarget = c.server;
        a.AutoChange = a.SweepCheck = true;
        WhoisChainState state;
        const WhoisStep step = ChooseWhoisStep(a, keys, state, [] { return "whois.next.test"; });
        EXPECT_EQ(step.Limit, "") << c.file;
        if (Decided(step) == Expected(c))
            ++agreed;
        else
            std::printf("miss: %s (%s at %s): reader %s, chain %s\n", c.file, c.query, c.server,
                        Expected(c).c_str(), Decided(step).c_str());
        if (std::find(servers.begin(), servers.end(), c.server) == servers.end())
            servers.push_back(c.server);
    }
    const int total = static_cast<int>(std::size(kCorpus));
    std::printf("corpus: %d of %d answers decided as the reader did, %zu servers\n", agreed, total,
                servers.size());
    EXPECT_GE(total, 40);
    EXPECT_GE(servers.size(), 12u);
    EXPECT_GE(agreed * 100, total * 95);
}

TEST(Corpus, EveryFileIsListedOnce) {
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(ZW_WHOIS_CORPUS)) {
        if (entry.path().extension() != ".txt")
            continue;
        ++files;
        const std::string name = entry.path().filename().string();
        const auto listed = std::count_if(std::begin(kCorpus), std::end(kCorpus),
                                          [&](const CorpusAnswer& c) { return name == c.file; });
        EXPECT_EQ(listed, 1) << name;
    }
    EXPECT_EQ(files, std::size(kCorpus));
}

// The registries' answers (registries/README.md): registered, a hit or a referral; available,
// neither. A ".pre" file is the tidied copy of the answer to the name without ".pre".
TEST(Corpus, ChainDecidesAsTheReaderOnTheRegistriesAnswers) {
    const std::string dir = std::string(ZW_WHOIS_CORPUS) + "/registries/";
    std::vector<std::string> keys, rows;
    ASSERT_TRUE(LoadHitKeys(std::string(ZW_DATA_DIR) + "/Servhit.key", keys));
    ASSERT_TRUE(platform::ReadTextLines(dir + "VERDICTS.tsv", rows));
    const char* const kDid[] = {"hit", "retried the parent", "referral", "swept on", "RDAP", "end"};
    int total = 0, agreed = 0;
    for (const auto& row : rows) {
        const size_t tab = row.find('\t'), tab2 = row.find('\t', tab + 1);
        if (row.empty() || row[0] == '#' || tab2 == std::string::npos)
            continue;
        const std::string file = row.substr(0, tab);
        std::string query = row.substr(tab + 1, tab2 - tab - 1);
        if (file.ends_with(".pre.txt") && query.ends_with(".pre"))
            query.resize(query.size() - 4);
        std::string raw;
        ASSERT_TRUE(platform::ReadFileBytes(dir + file, raw)) << file;
        WhoisAnswer a;
        a.Query = a.QueryText = a.LastQuery = query;
        a.Converted = PrepareAnswer(raw, kCodeAuto);
        a.AskedServer = a.CurrentTarget = "whois.registry.test";
        a.AutoChange = a.SweepCheck = true;
        WhoisChainState state;
        const WhoisStep step = ChooseWhoisStep(a, keys, state, [] { return "whois.next.test"; });
        const bool found = step.kind == WhoisStep::Hit || step.kind == WhoisStep::FollowReferral;
        EXPECT_EQ(step.Limit, "") << file; // terms of use are no limit notice
        const bool registered = row.compare(tab2 + 1, 10, "registered") == 0;
        ++total;
        agreed += found == registered;
        if (found != registered)
            std::printf("miss: %s (%s): reader %s, chain %s\n", file.c_str(), query.c_str(),
                        registered ? "registered" : "available", kDid[step.kind]);
    }
    std::printf("registries: %d of %d answers decided as the reader did\n", agreed, total);
    EXPECT_EQ(total, 394);
    // Above the 97 % bar: every answer is decided right, so a change that loses one shows.
    EXPECT_EQ(agreed, total);
}

} // namespace

// Real answers of real WHOIS servers against the shipped Servhit.key and Server.wis: each
// answer must be read as a person reading it would (a hit, a referral to follow, no match),
// and the shipped server order must send each query to its registry first.

#include "directory/ServerDir.h"
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
using List = std::vector<std::string>;

const fs::path kData = ZW_DATA_DIR;
const fs::path kSamples = ZW_WHOIS_CORPUS;

struct Sample {
    const char* file;
    const char* query;
    bool hit;
    const char* referral;
};

// Decided by reading each answer. A registry's thin answer and IANA's answer name the server
// that holds the record, so they are referrals, not hits; the registrar's and the RIRs'
// records are hits (ARIN's names APNIC too, but holds the block's record itself).
const Sample kSamples_[] = {
    {"jprs-google.jp-e.txt", "google.jp", true, ""},
    {"jprs-no-match-e.txt", "example.jp", false, ""},
    {"jprs-no-match-ja.txt", "example.jp", false, ""},
    {"jprs-yahoo.co.jp-ja.txt", "yahoo.co.jp", true, ""},
    {"jpnic-218.43.43.43-ja-iso2022jp-reconstructed.txt", "218.43.43.43", true, ""},
    {"jpnic-no-match-e.txt", "43.0.0.1", false, ""},
    {"verisign-google.com-modern-registrar-whois-server.txt", "google.com", false,
     "whois.markmonitor.com"},
    {"verisign-no-match-com.txt", "u34jedzcq.com", false, ""},
    {"markmonitor-google.com-thick.txt", "google.com", true, "whois.markmonitor.com"},
    {"iana-com-refer.txt", "iceagesaga.com", false, "whois.verisign-grs.com"},
    {"arin-144.134.121.81-referral-apnic.txt", "144.134.121.81", true, "whois.apnic.net"},
    {"ripe-128.79.0.0.txt", "128.79.0.1", true, ""},
    {"kr-google.kr-korean-utf8.txt", "google.kr", true, ""},
    {"cn-no-match.txt", "example.cn", false, ""},
};

class Samples : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::is_directory(kSamples))
            GTEST_SKIP() << "no sample answers at " << kSamples;
        ASSERT_TRUE(LoadHitKeys((kData / "Servhit.key").string(), keys_));
        ASSERT_FALSE(keys_.empty());
    }
    // The answer as the window sees it: line breaks normalised, automatic conversion.
    static std::string Answer(const char* file) {
        std::string raw;
        EXPECT_TRUE(platform::ReadFileBytes((kSamples / file).string(), raw)) << file;
        return PrepareAnswer(raw, kCodeAuto);
    }
    List keys_;
};

TEST_F(Samples, EachAnswerIsReadAsAPersonWould) {
    for (const auto& s : kSamples_) {
        const std::string text = Answer(s.file);
        ASSERT_FALSE(text.empty()) << s.file;
        EXPECT_EQ(IsHitAnswer(text, keys_), s.hit) << s.file;
        EXPECT_EQ(FindReferral(text), s.referral) << s.file;
    }
}

TEST_F(Samples, NoKeyAppearsInAnAnswerThatIsNoHit) {
    for (const auto& s : kSamples_) {
        if (s.hit)
            continue;
        const std::string text = Answer(s.file);
        for (const auto& key : keys_)
            EXPECT_FALSE(IsHitAnswer(text, List{key})) << key << " in " << s.file;
    }
}

TEST_F(Samples, JapaneseAnswersAreDecoded) {
    // ISO-2022-JP from JPNIC and UTF-8 from JPRS both reach the window as UTF-8.
    const std::string jpnic = Answer("jpnic-218.43.43.43-ja-iso2022jp-reconstructed.txt");
    EXPECT_NE(jpnic.find("Network Information: [ネットワーク情報]"), std::string::npos);
    EXPECT_NE(jpnic.find("p. [ネームサーバ]               ns-kg001.ocn.ad.jp"), std::string::npos);
    EXPECT_EQ(jpnic.find('\x1B'), std::string::npos);
    const std::string jprs = Answer("jprs-yahoo.co.jp-ja.txt");
    EXPECT_NE(jprs.find("a. [ドメイン名]                 YAHOO.CO.JP"), std::string::npos);
}

TEST_F(Samples, RecordsAreShownAndBannersHidden) {
    const std::string verisign = Answer("verisign-google.com-modern-registrar-whois-server.txt");
    EXPECT_EQ(ShownBody(verisign, keys_).rfind("Domain Name: GOOGLE.COM", 0), 0u);
    const std::string jprs = Answer("jprs-google.jp-e.txt");
    const std::string shown = ShownBody(jprs, keys_);
    EXPECT_EQ(shown.rfind("Domain Information:", 0), 0u) << shown;
    EXPECT_EQ(shown.find("JPRS database"), std::string::npos);
}

TEST_F(Samples, ComChainReachesTheRegistrarAndStopsThere) {
    WhoisChainState state;
    WhoisAnswer a;
    a.Query = a.QueryText = a.LastQuery = "google.com";
    a.AutoChange = true;
    a.AskedServer = a.CurrentTarget = "whois.iana.org";
    a.Converted = Answer("iana-com-refer.txt");
    WhoisStep step = ChooseWhoisStep(a, keys_, state, nullptr);
    ASSERT_EQ(step.kind, WhoisStep::FollowReferral);
    a.AskedServer = a.CurrentTarget = step.Server;
    a.Converted = Answer("verisign-google.com-modern-registrar-whois-server.txt");
    step = ChooseWhoisStep(a, keys_, state, nullptr);
    ASSERT_EQ(step.kind, WhoisStep::FollowReferral);
    EXPECT_EQ(step.Server, "whois.markmonitor.com");
    a.AskedServer = a.CurrentTarget = step.Server;
    a.Converted = Answer("markmonitor-google.com-thick.txt");
    step = ChooseWhoisStep(a, keys_, state, nullptr);
    EXPECT_EQ(step.kind, WhoisStep::Hit);
    EXPECT_EQ(step.WebHint, "www.google.com");
    EXPECT_EQ(state.Referrals, 2);
}

TEST_F(Samples, RegistrarNamingItselfIsNotAskedAgain) {
    WhoisChainState state;
    WhoisAnswer a;
    a.Query = a.QueryText = a.LastQuery = "google.com";
    a.AutoChange = a.SweepCheck = true;
    a.AskedServer = a.CurrentTarget = "whois.markmonitor.com";
    a.Converted = Answer("markmonitor-google.com-thick.txt");
    // Without any key the record still names the query, so it is the answer.
    WhoisStep step = ChooseWhoisStep(a, List{}, state, [] { return "whois.next.test"; });
    EXPECT_EQ(step.kind, WhoisStep::Hit);
    EXPECT_EQ(state.Referrals, 0);
    // Asked for another name, the registrar has no record and no new server to name.
    a.Query = a.QueryText = a.LastQuery = "example.com";
    step = ChooseWhoisStep(a, List{}, state, [] { return ""; });
    EXPECT_EQ(step.kind, WhoisStep::End);
    EXPECT_TRUE(step.ReferralRefused);
}

// ---- the shipped server directory -------------------------------------------------------

class ShippedServers : public ::testing::Test {
protected:
    void SetUp() override {
        LoadServerFile((kData / "Server.wis").string(), lines_);
        ASSERT_FALSE(lines_.empty());
    }
    List Candidates(const std::string& server, const std::string& target) const {
        List out;
        BuildServerCandidates(lines_, server, target, IsIPAddress(target), out);
        return out;
    }
    List lines_;
};

TEST_F(ShippedServers, EveryLineIsAServerWithMarkersOrSuffixes) {
    for (const auto& line : lines_) {
        List fields = SplitServerFields(line);
        ASSERT_GE(fields.size(), 2u) << line;
        EXPECT_TRUE(IsHostName(fields[0]) && fields[0].find('.') != std::string::npos) << line;
        for (size_t k = 1; k < fields.size(); ++k) {
            EXPECT_FALSE(fields[k].empty()) << line;
            EXPECT_NE(fields[k].front(), '.') << "suffix with a dot: " << line;
        }
    }
}

TEST_F(ShippedServers, EachRegistryIsAskedFirstForItsOwnDomains) {
    for (const auto& line : lines_) {
        List fields = SplitServerFields(line);
        for (size_t k = 1; k < fields.size(); ++k) {
            if (MarkerIndex(fields[k]) != -1)
                continue;
            List queue = Candidates("whois.user.test", "www.example." + fields[k]);
            ASSERT_FALSE(queue.empty()) << fields[k];
            EXPECT_EQ(queue.front(), fields[0]) << "for ." << fields[k];
        }
    }
}

TEST_F(ShippedServers, JapaneseAndGenericDomainsGoToTheirRegistries) {
    EXPECT_EQ(Candidates("whois.user.test", "www.example.co.jp").front(), "whois.jprs.jp");
    EXPECT_EQ(Candidates("whois.user.test", "example.ad.jp").front(), "whois.nic.ad.jp");
    EXPECT_EQ(Candidates("whois.jprs.jp", "google.com").front(), "whois.verisign-grs.com");
    EXPECT_EQ(Candidates("whois.jprs.jp", "example.net").front(), "whois.verisign-grs.com");
    EXPECT_EQ(Candidates("whois.jprs.jp", "example.org").front(), "whois.pir.org");
    EXPECT_EQ(Candidates("whois.jprs.jp", "example.info").front(), "whois.nic.info");
}

TEST_F(ShippedServers, CountryAndSecondLevelLinesComeBeforeTheGenericOnes) {
    struct Case {
        const char* name;
        const char* first;
    } cases[] = {
        {"example.com.au", "whois.auda.org.au"}, {"example.co.uk", "whois.nic.uk"},
        {"example.ac.uk", "whois.ja.net"},       {"example.uk.com", "whois.centralnic.com"},
        {"example.com.cn", "whois.cnnic.cn"},    {"example.com.br", "whois.registro.br"},
        {"example.dev", "whois.iana.org"},       {"nato.int", "whois.iana.org"},
        {"example.church", "whois.iana.org"},    {"example.com", "whois.verisign-grs.com"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Candidates("whois.user.test", c.name).front(), c.first) << c.name;
    EXPECT_EQ(RegistryServers(lines_, "www.example.ac.uk"), (List{"whois.ja.net", "whois.nic.uk"}));
}

TEST_F(ShippedServers, IanaIsTheLastResortOfEveryDomain) {
    for (const char* name : {"example.jp", "example.com", "example.co.uk", "example.xyz"}) {
        List queue = Candidates("whois.user.test", name);
        ASSERT_FALSE(queue.empty()) << name;
        EXPECT_EQ(queue.back(), "whois.iana.org") << name;
    }
    EXPECT_EQ(Candidates("whois.user.test", "example.xyz"), List{"whois.iana.org"});
}

TEST_F(ShippedServers, AddressesGoToJpnicThenTheRegionalRegistries) {
    EXPECT_EQ(Candidates("whois.jprs.jp", "192.0.2.1"),
              (List{"whois.nic.ad.jp", "whois.apnic.net", "whois.arin.net", "whois.ripe.net",
                    "whois.lacnic.net", "whois.afrinic.net"}));
    EXPECT_EQ(Candidates("whois.nic.ad.jp", "192.0.2.1").front(), "whois.apnic.net");
}

} // namespace

// Limit notices through the chain's decision: the real notices of tests/data/whois/limits
// (sources in its README), the forms registries give them, and their look-alikes.
#include "engine/WhoisText.h"
#include "platform/TextFile.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kTerms =
    "% You will not enable high volume, automated, electronic processes; we may\r\n"
    "% end your access for excessive querying of the WHOIS database.\r\n\r\n";
const std::string kRecord = "Domain Name: X.TEST\r\nRegistrar: R\r\n";

struct Row {
    std::string answer; // a file of tests/data/whois, or the answer itself
    const char* query;
    const char* notice; // the notice line the chain names; empty: a look-alike
    WhoisStep::Kind kind;
};

const Row kRows[] = {
    {"limits/afnic-fr.txt", "google.fr", "Too many requests...", WhoisStep::End},
    {"limits/afnic-pm.txt", "nic.pm", "Too many requests...", WhoisStep::End},
    {"limits/afnic-re.txt", "nic.re", "Too many requests...", WhoisStep::End},
    {"limits/afnic-tf.txt", "nic.tf", "Too many requests...", WhoisStep::End},
    {"limits/afnic-wf.txt", "nic.wf", "Too many requests...", WhoisStep::End},
    {"limits/afnic-yt.txt", "nic.yt", "Too many requests...", WhoisStep::End},
    {"limits/club-allowed-queries.txt", "x.club", "Number of allowed queries exceeded.",
     WhoisStep::End},
    {"limits/cznic-connection-limit.txt", "x.cz",
     "Your connection limit exceeded. Please slow down and try again later.", WhoisStep::End},
    {"limits/denic-access-control-limit.txt", "x.de",
     "Error: 55000000002 Connection refused; access control limit reached.", WhoisStep::End},
    {"limits/dnsbe-excessive-querying.txt", "kine-vanmechelen.be",
     "Excessive querying, grace period of 2 seconds", WhoisStep::End},
    {"limits/dnsbe-hourly-limit.txt", "test.be", "Maximum queries per hour reached (100)",
     WhoisStep::End},
    {"limits/dnsbe-ip-blocked.txt", "example.be", "-3: IP address blocked", WhoisStep::End},
    {"limits/eurid-grace-period.txt", "wholesalegolfshop.eu",
     "-1: Still in grace period, wait 7777777 seconds", WhoisStep::End},
    {"limits/nominet-query-quota.txt", "google.co.uk",
     "The WHOIS query quota for 127.0.0.1 has been exceeded", WhoisStep::End},
    {"limits/nz-440-request-denied.txt", "jaycar.co.nz", "query_status: 440 Request Denied",
     WhoisStep::End},
    {"limits/pe-quota-after-terms.txt", "x.pe", "Looup quota exceeded.", WhoisStep::End},
    {"limits/pir-limit-exceeded.txt", "x.org",
     "WHOIS LIMIT EXCEEDED - SEE WWW.PIR.ORG/WHOIS FOR DETAILS", WhoisStep::End},
    {"limits/ripe-201-denied-permanently.txt", "192.0.2.1",
     "ERROR:201: access denied for 192.0.2.1", WhoisStep::End},
    {"limits/ripe-201-denied-temporarily.txt", "192.0.2.1",
     "ERROR:201: access denied for 192.0.2.1", WhoisStep::End},
    {"limits/ripe-306-connections.txt", "192.0.2.1", "ERROR:306: connections exceeded",
     WhoisStep::End},
    {"limits/sidn-daily-limit.txt", "x.nl",
     "whois.domain-registry.nl: daily whois-limit exceeded for client 67.202.31.57",
     WhoisStep::End},
    {"limits/sidn-one-per-second.txt", "x.nl",
     "whois.domain-registry.nl: only 1 request per second allowed, try again later",
     WhoisStep::End},
    {"limits/sidn-server-too-busy.txt", "x.nl",
     "whois.domain-registry.nl: Server too busy, try again later", WhoisStep::End},
    // The forms registries use: after terms of use, with a no-match line after the notice.
    {kTerms + "Queried interval is too short.\r\nNo match for x.test\r\n", "x.test",
     "Queried interval is too short.", WhoisStep::End},
    {kTerms + "% Query rate exceeded, please try again later\r\n", "sub.x.test",
     "Query rate exceeded, please try again later", WhoisStep::End},
    {"%% Too many requests\r\n\r\n%% No entries found.\r\n", "x.test", "Too many requests",
     WhoisStep::End},
    // Look-alikes: terms about high volumes and excessive querying above a real record,
    // registro.br's reduced answer, CoCCA's and Donuts' words on their limits.
    {kTerms + kRecord, "x.test", "", WhoisStep::Hit},
    {"% Query rate limit exceeded. Reduced information.\r\n\r\n" + kRecord, "x.test", "",
     WhoisStep::Hit},
    {"registro.br-no-match.txt", "u34jedzcq.br", "", WhoisStep::End},
    {"registries/noterror__com_encirca.com.txt", "encirca.com", "", WhoisStep::FollowReferral},
    {"registries/noterror__coop_git.coop.txt", "git.coop", "", WhoisStep::FollowReferral},
    {"registries/notfound__ac_likexian-have-no-money-to-register.ac.txt",
     "likexian-have-no-money-to-register.ac", "", WhoisStep::End},
};

TEST(LimitNotice, NoticesAreFailedStepsAndLookAlikesStayAnswers) {
    std::vector<std::string> keys;
    ASSERT_TRUE(LoadHitKeys(std::string(ZW_DATA_DIR) + "/Servhit.key", keys));
    for (const Row& row : kRows) {
        std::string raw = row.answer;
        if (raw.ends_with(".txt")) {
            ASSERT_TRUE(platform::ReadFileBytes(std::string(ZW_WHOIS_CORPUS) + "/" + raw, raw));
        }
        WhoisAnswer a;
        a.Query = a.QueryText = a.LastQuery = row.query;
        a.Converted = PrepareAnswer(raw, kCodeAuto);
        a.AskedServer = a.CurrentTarget = "whois.test";
        a.AutoChange = a.SweepCheck = true;
        WhoisChainState state;
        int swept = 0;
        const WhoisStep step = ChooseWhoisStep(a, keys, state, [&] {
            ++swept;
            return std::string();
        });
        const std::string& name = row.answer.substr(0, 60);
        EXPECT_EQ(step.Limit, row.notice) << name;
        EXPECT_EQ(step.kind, row.kind) << name;
        if (*row.notice == '\0')
            continue;
        // Nothing is asked on its account, and the notice is shown with what it means.
        EXPECT_EQ(swept, 0) << name;
        const std::string plain = ChainText(state, step.View, TextStyle::Plain);
        EXPECT_NE(plain.find(row.notice), std::string::npos) << name;
        EXPECT_TRUE(
            plain.ends_with("\r\n\r\nNo answer from whois.test: rate-limited by the server"))
            << plain;
        EXPECT_TRUE(ChainText(state, step.View, TextStyle::Window)
                        .ends_with("No answer from whois.test: Error RATE_LIMITED"))
            << name;
    }
}

// A registry's record that names its registrar stays the hit when the registrar sends its
// notice; the notice's line goes below it, and neither RDAP nor the sweep is asked.
TEST(LimitNotice, RegistrarsNoticeKeepsTheRegistrysRecord) {
    std::vector<std::string> keys = {"Domain Name:"};
    WhoisChainState state;
    WhoisAnswer a;
    a.Query = a.QueryText = a.LastQuery = "x.test";
    a.AutoChange = a.SweepCheck = true;
    a.AskedServer = a.CurrentTarget = "whois.registry.test";
    a.Converted = "Domain Name: X.TEST\r\nRegistrar WHOIS Server: whois.registrar.test\r\n";
    ASSERT_EQ(ChooseWhoisStep(a, keys, state, nullptr).kind, WhoisStep::FollowReferral);
    a.AskedServer = a.CurrentTarget = "whois.registrar.test";
    a.Converted = "% Too many requests\r\n";
    bool rdapAsked = false;
    a.RdapReady = [&] { return rdapAsked = true; };
    const WhoisStep step = ChooseWhoisStep(a, keys, state, nullptr);
    EXPECT_EQ(step.kind, WhoisStep::Hit);
    EXPECT_FALSE(rdapAsked);
    EXPECT_EQ(ChainText(state, step.View, TextStyle::Plain),
              "Domain Name: X.TEST\r\nRegistrar WHOIS Server: whois.registrar.test\r\n\r\n"
              "No answer from whois.registrar.test: rate-limited by the server (Too many "
              "requests)\r\nServers asked: whois.registry.test, whois.registrar.test "
              "(rate-limited by the server)");
}

} // namespace

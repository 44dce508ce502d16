// Limit notices through the chain's decision: the real notices of tests/data/whois/limits, the
// forms registries give them and their look-alikes, one row each in its NOTICES.tsv.
#include "engine/WhoisChain.h"
#include "engine/WhoisText.h"
#include "platform/TextFile.h"

#include <gtest/gtest.h>

namespace {

const std::string kData = std::string(ZW_WHOIS_CORPUS) + "/";

WhoisAnswer AnswerOf(const std::string& server, const std::string& query, const std::string& raw) {
    WhoisAnswer a;
    a.Query = a.QueryText = a.LastQuery = query;
    a.Converted = PrepareAnswer(raw, kCodeAuto);
    a.AskedServer = a.CurrentTarget = server;
    a.AutoChange = a.SweepCheck = true;
    return a;
}

TEST(LimitNotice, NoticesAreFailedStepsAndLookAlikesStayAnswers) {
    std::vector<std::string> keys, rows;
    ASSERT_TRUE(LoadHitKeys(std::string(ZW_DATA_DIR) + "/Servhit.key", keys));
    ASSERT_TRUE(platform::ReadTextLines(kData + "limits/NOTICES.tsv", rows));
    const char* const kSteps[] = {"hit", "", "referral", "", "", "end"};
    for (const std::string& row : rows) {
        const size_t t1 = row.find('\t'), t2 = row.find('\t', t1 + 1), t3 = row.find('\t', t2 + 1);
        if (row[0] == '#' || t3 == std::string::npos)
            continue;
        const std::string file = row.substr(0, t1), notice = row.substr(t3 + 1);
        std::string raw;
        ASSERT_TRUE(platform::ReadFileBytes(kData + file, raw)) << file;
        WhoisChainState state;
        int swept = 0;
        const WhoisStep step = ChooseWhoisStep(
            AnswerOf("whois.test", row.substr(t1 + 1, t2 - t1 - 1), raw), keys, state, [&] {
                ++swept;
                return std::string();
            });
        EXPECT_EQ(step.Limit, notice) << file;
        EXPECT_EQ(kSteps[step.kind], row.substr(t2 + 1, t3 - t2 - 1)) << file;
        if (notice.empty())
            continue;
        // Nothing is asked on its account; the notice is shown, and what it means below it.
        EXPECT_EQ(swept, 0) << file;
        const std::string plain = ChainText(state, step.View, TextStyle::Plain);
        EXPECT_NE(plain.find(notice), std::string::npos) << file;
        EXPECT_GT(static_cast<unsigned char>(plain.front()), ' ') << file;
        EXPECT_TRUE(
            plain.ends_with("\r\n\r\nNo answer from whois.test: rate-limited by the server"));
        EXPECT_TRUE(ChainText(state, step.View, TextStyle::Window)
                        .ends_with("No answer from whois.test: Error RATE_LIMITED"));
    }
    EXPECT_EQ(rows.size(), 34u);
}

// A registry's record stays the hit when its registrar sends a notice; RDAP is not asked.
TEST(LimitNotice, RegistrarsNoticeKeepsTheRegistrysRecord) {
    const std::vector<std::string> keys = {"Domain Name:"};
    const std::string record = "Domain Name: X.TEST\r\nRegistrar WHOIS Server: whois.b.test";
    WhoisChainState state;
    ASSERT_EQ(
        ChooseWhoisStep(AnswerOf("whois.a.test", "x.test", record), keys, state, nullptr).kind,
        WhoisStep::FollowReferral);
    WhoisAnswer a = AnswerOf("whois.b.test", "x.test", "% Too many requests\r\n");
    bool rdapAsked = false;
    a.RdapReady = [&] { return rdapAsked = true; };
    const WhoisStep step = ChooseWhoisStep(a, keys, state, nullptr);
    EXPECT_EQ(step.kind, WhoisStep::Hit);
    EXPECT_FALSE(rdapAsked);
    EXPECT_EQ(ChainText(state, step.View, TextStyle::Plain),
              record + "\r\n\r\nNo answer from whois.b.test: rate-limited by the server (Too many "
                       "requests)\r\nServers asked: whois.a.test, whois.b.test (rate-limited by "
                       "the server)");
}

} // namespace

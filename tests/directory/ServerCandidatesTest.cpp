#include "directory/ServerDir.h"

#include <gtest/gtest.h>

namespace {

using List = std::vector<std::string>;

List Build(const List& dir, const std::string& server, const std::string& target, bool isIP) {
    List candidates{"stale.example"};
    BuildServerCandidates(dir, server, target, isIP, candidates);
    return candidates;
}

class FourServers : public ::testing::Test {
protected:
    List dir_{"a.example,+,jp", "b.example,-,co.jp", "c.example,*", "d.example,+,*,"};
};

TEST_F(FourServers, NameQueuesOthersInDirectoryOrder) {
    EXPECT_EQ(Build(dir_, "a.example", "www.example.co.jp", false),
              (List{"b.example", "c.example", "d.example"}));
}

TEST_F(FourServers, AddressQueuesOnlyPlusLines) {
    EXPECT_EQ(Build(dir_, "a.example", "192.0.2.1", true), (List{"d.example"}));
    EXPECT_EQ(Build(dir_, "x.example", "192.0.2.1", true), (List{"a.example", "d.example"}));
}

TEST_F(FourServers, NameServedByOwnSuffixLine) {
    EXPECT_EQ(Build(dir_, "c.example", "example.jp", false), (List{"a.example", "d.example"}));
}

TEST_F(FourServers, DotlessTargetMatchesOnlyStarLines) {
    EXPECT_EQ(Build(dir_, "x.example", "localhost", false), (List{"c.example", "d.example"}));
    EXPECT_EQ(Build(dir_, "x.example", "jp", false), (List{"c.example", "d.example"}));
}

TEST(BuildServerCandidates, SuffixMatchesOnlyAtTheEndAtALabelBoundary) {
    const List dir{"a.example,jp", "b.example,de", "c.example,in", "d.example,com.au",
                   "e.example,com"};
    struct Case {
        const char* target;
        List queue;
    } cases[] = {
        {"host.jpnic.net", {}},         // "jp" in the middle of a label
        {"host.jp.example.org", {}},    // a whole label, but not the last
        {"myjp", {}},                   // no dot before "jp"
        {"example.dev", {}},            // "de" must not catch ".dev"
        {"nato.int", {}},               // nor "in" ".int"
        {"example.jp", {"a.example"}},  // the last label
        {"example.jp.", {"a.example"}}, // a final dot is ignored
        {"shop.example.com.au", {"d.example"}},
        {"example.com", {"e.example"}},
        {"Shop.Example.Com.AU", {"d.example"}},
        {".jp", {}}, // no label before the suffix
    };
    for (const auto& c : cases)
        EXPECT_EQ(Build(dir, "x", c.target, false), c.queue) << c.target;
    EXPECT_EQ(Build(dir, "x", "jp", false), List{}) << "the suffix itself is no name below it";
}

TEST(RegistryServers, ServersOfTheNamesSuffixInDirectoryOrder) {
    const List dir{"w.example,*", "a.example,+,jp", "b.example,-,co.jp", "c.example,de"};
    EXPECT_EQ(RegistryServers(dir, "x.Co.JP"), (List{"a.example", "b.example"}));
    EXPECT_EQ(RegistryServers(dir, "x.dev"), List{});
    EXPECT_EQ(RegistryServers(dir, "192.0.2.1"), List{});
}

TEST(BuildServerCandidates, MarkersAndEmptyFieldsAreNotSuffixes) {
    // "-" and "+" are markers, so a target holding ".-" or ".+" matches nothing through them.
    EXPECT_EQ(Build({"a.example,-,,+"}, "x", "odd.-.+.name", false), List{});
    EXPECT_EQ(Build({"a.example,,jp"}, "x", "example.jp", false), (List{"a.example"}));
}

TEST(BuildServerCandidates, FirstMatchingSuffixQualifiesAmongMany) {
    EXPECT_EQ(Build({"a.example,com,net,co.jp,org"}, "x", "shop.co.jp", false),
              (List{"a.example"}));
}

TEST(BuildServerCandidates, ExclusionIsExactAndCaseSensitive) {
    const List dir{"A.Example,*", "a.example,*"};
    EXPECT_EQ(Build(dir, "a.example", "x.jp", false), (List{"A.Example"}));
    EXPECT_EQ(Build(dir, "A.EXAMPLE", "x.jp", false), (List{"A.Example"}));
}

TEST(BuildServerCandidates, DuplicatesGiveOneCandidateAtFirstPlace) {
    const List dir{"b.example,jp", "A.example,*", "a.EXAMPLE,jp", "b.example,+,*"};
    EXPECT_EQ(Build(dir, "x", "host.jp", false), (List{"b.example", "A.example"}));
}

TEST(BuildServerCandidates, QuotedFirstFieldsKeepTheirTextAndDeduplicate) {
    const List dir{"\"Q.example\",*", "\"zz.other\",*", "q.example,*",
                   "\"q.EXAMPLE\",*", "\"r s\",*",      "ZZ.OTHER,*"};
    EXPECT_EQ(Build(dir, "x", "a.jp", false), (List{"Q.example", "zz.other", "r s"}));
}

TEST(BuildServerCandidates, QuotedFieldsAreUnquoted) {
    const List dir{"\"q.example\",\"co.jp\"", "\"r.example\",\"+\""};
    EXPECT_EQ(Build(dir, "x", "host.co.jp", false), (List{"q.example"}));
    EXPECT_EQ(Build(dir, "x", "10.0.0.1", true), (List{"r.example"}));
}

TEST(BuildServerCandidates, EmptyFirstFieldGivesEmptyCandidateOnce) {
    const List dir{",*", " ,+,*", "z.example,*"};
    EXPECT_EQ(Build(dir, "x", "a.jp", false), (List{"", "z.example"}));
}

TEST(BuildServerCandidates, EmptyAndBlankLinesAreIgnored) {
    const List dir{"", "   ", "z.example,*"};
    EXPECT_EQ(Build(dir, "x", "a.jp", false), (List{"z.example"}));
    EXPECT_EQ(Build(dir, "", "a.jp", false), (List{"z.example"}));
}

TEST(BuildServerCandidates, EmptyDirectoryGivesEmptyQueue) {
    EXPECT_EQ(Build({}, "x", "a.jp", false), List{});
}

TEST(PrepareServerCandidates, UnknownServerIsAppended) {
    List dir{"a.example,jp"};
    List candidates;
    PrepareServerCandidates(dir, "new.example", "host.jp", false, candidates);
    EXPECT_EQ(dir, (List{"a.example,jp", "new.example,+,*,"}));
    EXPECT_EQ(candidates, (List{"a.example"}));
}

TEST(PrepareServerCandidates, EmptyDirectoryGainsServerAndHasNoCandidates) {
    List dir;
    List candidates{"old"};
    PrepareServerCandidates(dir, "whois.example", "host.jp", false, candidates);
    EXPECT_EQ(dir, (List{"whois.example,+,*,"}));
    EXPECT_TRUE(candidates.empty());
}

TEST(PrepareServerCandidates, ListedServerIsNotAppendedTwice) {
    List dir{"a.example,jp", "b.example,*"};
    List candidates;
    PrepareServerCandidates(dir, "b.example", "host.jp", false, candidates);
    PrepareServerCandidates(dir, "b.example", "host.jp", false, candidates);
    EXPECT_EQ(dir.size(), 2u);
    EXPECT_EQ(candidates, (List{"a.example"}));
}

TEST(PrepareServerCandidates, PrefixOfListedLineCountsAsListed) {
    List dir{"whois.example.net,*"};
    List candidates;
    PrepareServerCandidates(dir, "whois.example", "host.jp", false, candidates);
    EXPECT_EQ(dir.size(), 1u);
    // Listed by prefix only, so the longer name is still a candidate of its own.
    EXPECT_EQ(candidates, (List{"whois.example.net"}));
}

TEST(PrepareServerCandidates, DifferentCaseIsNewLineAndNotExcluded) {
    List dir{"a.example,+,jp"};
    List candidates;
    PrepareServerCandidates(dir, "A.EXAMPLE", "host.co.jp", false, candidates);
    EXPECT_EQ(dir, (List{"a.example,+,jp", "A.EXAMPLE,+,*,"}));
    // Its own lower-case line stays a candidate; the new line is left out as the server.
    EXPECT_EQ(candidates, (List{"a.example"}));
}

TEST(NextServerCandidate, PassesOverEmptyEntries) {
    List queue{"", "x.example"};
    EXPECT_EQ(NextServerCandidate(queue), "x.example");
    EXPECT_TRUE(queue.empty());
    EXPECT_EQ(NextServerCandidate(queue), "");
}

TEST(NextServerCandidate, TakesInOrder) {
    List queue{"a", "", "", "b"};
    EXPECT_EQ(NextServerCandidate(queue), "a");
    EXPECT_EQ(queue, (List{"", "", "b"}));
    EXPECT_EQ(NextServerCandidate(queue), "b");
    EXPECT_EQ(NextServerCandidate(queue), "");
    List onlyEmpty{"", ""};
    EXPECT_EQ(NextServerCandidate(onlyEmpty), "");
    EXPECT_TRUE(onlyEmpty.empty());
}

} // namespace

// The controller's own directory operations: FServerList and FCandidates of TPingTrace, as the
// window uses them for a WHOIS command (load at start-up, prepare, take candidates, save).
#include "engine/PingCtrl.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

using namespace std::string_literals;
using List = std::vector<std::string>;
namespace fs = std::filesystem;

class ControllerDirectory : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "ctrldir-XXXXXX").string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
        path_ = (dir_ / "Server.wis").string();
    }
    void TearDown() override { fs::remove_all(dir_); }

    void WriteRaw(const std::string& bytes) {
        std::ofstream(path_, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    }
    std::string ReadRaw() {
        std::ifstream in(path_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    List Drain() {
        List taken;
        for (std::string next = trace_.NextCandidate(); !next.empty();
             next = trace_.NextCandidate())
            taken.push_back(next);
        return taken;
    }

    fs::path dir_;
    std::string path_;
    TPingTrace trace_;
};

TEST_F(ControllerDirectory, WhoisCommandForANameQueuesTheOtherServers) {
    WriteRaw("a.example,+,jp\r\nb.example,-,co.jp\rc.example,*\nd.example,+,*,\r\n");
    trace_.LoadServers(path_);
    ASSERT_EQ(trace_.FServerList.size(), 4u);

    trace_.PrepareCandidates("a.example", "www.example.co.jp");
    EXPECT_EQ(trace_.FServerList.size(), 4u); // listed already
    EXPECT_EQ(trace_.FCandidates, (List{"b.example", "c.example", "d.example"}));
    EXPECT_EQ(Drain(), (List{"b.example", "c.example", "d.example"}));
    EXPECT_TRUE(trace_.FCandidates.empty());
    EXPECT_EQ(trace_.NextCandidate(), "");
}

TEST_F(ControllerDirectory, TheTargetDecidesBetweenAddressAndNameRules) {
    trace_.FServerList = {"a.example,+,jp", "b.example,-,co.jp", "c.example,*", "d.example,+,*,"};
    // A dotted target takes only "+" lines, whatever the server text looks like.
    trace_.PrepareCandidates("a.example", "192.0.2.1");
    EXPECT_EQ(trace_.FCandidates, List{"d.example"});
    trace_.BuildCandidates("192.0.2.9", "192.0.2.1");
    EXPECT_EQ(trace_.FCandidates, (List{"a.example", "d.example"}));
    // IPv6 addresses and prefixes and AS numbers are address queries too.
    for (const char* target : {"2001:db8::1", "2001:db8::/32", "AS2515", "as2515"}) {
        trace_.PrepareCandidates("a.example", target);
        EXPECT_EQ(trace_.FCandidates, List{"d.example"}) << target;
    }
    // A dotted server with a name target follows the name rules.
    trace_.BuildCandidates("192.0.2.9", "example.jp");
    EXPECT_EQ(trace_.FCandidates, (List{"a.example", "c.example", "d.example"}));
}

TEST_F(ControllerDirectory, NewServerIsAddedInMemoryAndSavedOnlyWhenAsked) {
    trace_.LoadServers(path_); // missing file: empty directory
    EXPECT_TRUE(trace_.FServerList.empty());
    trace_.PrepareCandidates("whois.new.example", "example.com");
    EXPECT_EQ(trace_.FServerList, List{"whois.new.example,+,*,"});
    EXPECT_TRUE(trace_.FCandidates.empty()); // its own line is left out
    EXPECT_FALSE(fs::exists(path_));

    trace_.SaveServers(path_);
    EXPECT_EQ(ReadRaw(), "whois.new.example,+,*,\r\n");
    TPingTrace other;
    other.FServerList = {"stale"};
    other.LoadServers(path_);
    EXPECT_EQ(other.FServerList, trace_.FServerList);
}

TEST_F(ControllerDirectory, EveryCommandRebuildsTheQueueFromNothing) {
    trace_.FServerList = {"a.example,jp", "b.example,com"};
    trace_.PrepareCandidates("x.example", "example.jp");
    EXPECT_EQ(trace_.FCandidates, List{"a.example"});
    trace_.PrepareCandidates("x.example", "example.com");
    EXPECT_EQ(trace_.FCandidates, List{"b.example"});
    EXPECT_EQ(trace_.FServerList.size(), 3u); // x.example added once
}

TEST_F(ControllerDirectory, ReloadReplacesTheListAndAMissingFileEmptiesIt) {
    // A line with a zero byte is left out, the lines after it kept.
    WriteRaw("a.example,*\r\nb.example,*\0c.example,*\r\nd.example,*\r\n"s);
    trace_.FServerList = {"old.example,*"};
    trace_.LoadServers(path_);
    EXPECT_EQ(trace_.FServerList, (List{"a.example,*", "d.example,*"}));
    fs::remove(path_);
    trace_.LoadServers(path_);
    EXPECT_TRUE(trace_.FServerList.empty());
}

TEST_F(ControllerDirectory, SaveFailureReachesTheCaller) {
    trace_.FServerList = {"a.example,*"};
    EXPECT_THROW(trace_.SaveServers((dir_ / "no-such-folder" / "Server.wis").string()),
                 std::runtime_error);
}

} // namespace

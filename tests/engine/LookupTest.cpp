// Lookups through the controller against the sandbox's private hosts file: the record that
// arrives, the order of the events, and the current-target text afterwards.
#include "engine/HostRoutines.h"
#include "tests/engine/EngineHarness.h"

#include <fstream>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace enginetest;
using testsupport::Ipv4;
namespace sb = testsupport::sandbox;

namespace {

class LookupRun : public ::testing::Test {
protected:
    void SetUp() override { REQUIRE_SANDBOX(); }

    // Runs a plain lookup to its end (OnDone) and returns the resolved record.
    const TagHostEnt& Run(const std::string& target) {
        trace.Lookup(target);
        EXPECT_TRUE(WaitFor(log, "Done")) << "events: " << log.Kinds();
        return log.First("Resolved").host;
    }

    TPingTrace trace;
    EventLog log{trace};
};

} // namespace

TEST_F(LookupRun, NameGivesRecordAndEventsInOrder) {
    const TagHostEnt& host = Run(sb::kWhoisA);
    EXPECT_EQ(log.Kinds(), "Start LookupStart Resolved Done");
    EXPECT_EQ(log.events[0].op, opLookup);
    EXPECT_EQ(log.events[1].op, opLookup);
    EXPECT_EQ(log.events[1].text1, sb::kWhoisA);
    EXPECT_EQ(log.events[2].op, opLookup);
    EXPECT_EQ(log.events[2].sender, &trace);
    // The end of a plain lookup comes from the worker's end, with the worker as sender.
    EXPECT_NE(log.events[3].sender, &trace);
    EXPECT_NE(log.events[3].sender, nullptr);

    EXPECT_TRUE(host.Found);
    EXPECT_EQ(host.Query, sb::kWhoisA);
    EXPECT_EQ(host.HostName, sb::kWhoisA);
    EXPECT_EQ(host.Aliases, std::vector<std::string>{"whois-a.test"});
    EXPECT_EQ(host.Addresses, std::vector<uint32_t>{Ipv4(sb::kWhoisAAddr)});
    EXPECT_EQ(host.Address, Ipv4(sb::kWhoisAAddr));
    EXPECT_TRUE(trace.FIdle);
    EXPECT_EQ(trace.FOperation, opLookup);
    EXPECT_EQ(trace.CurrentTarget(), sb::kWhoisA);
    PumpFor(100ms);
    EXPECT_EQ(log.Count("Done"), 1);
    EXPECT_TRUE(WorkersGone());
}

TEST_F(LookupRun, NameOnTwoLinesGivesAllAliasesAndAllAddresses) {
    const TagHostEnt& host = Run(sb::kMulti);
    EXPECT_TRUE(host.Found);
    EXPECT_EQ(host.HostName, sb::kMulti);
    EXPECT_EQ(host.Aliases, (std::vector<std::string>{sb::kMultiAlias1, sb::kMultiAlias2}));
    EXPECT_EQ(host.Addresses,
              (std::vector<uint32_t>{Ipv4(sb::kMultiAddr1), Ipv4(sb::kMultiAddr2)}));
    EXPECT_EQ(host.Address, Ipv4(sb::kMultiAddr1));
}

TEST_F(LookupRun, AliasGivesTheOfficialName) {
    const TagHostEnt& host = Run(sb::kMultiAlias2);
    EXPECT_TRUE(host.Found);
    EXPECT_EQ(host.Query, sb::kMultiAlias2);
    EXPECT_EQ(host.HostName, sb::kMulti);
    EXPECT_EQ(host.Address, Ipv4(sb::kMultiAddr1));
    EXPECT_EQ(trace.CurrentTarget(), sb::kMulti);
}

TEST_F(LookupRun, DottedAddressResolvesBackToItsName) {
    const TagHostEnt& host = Run(sb::kWhoisBAddr);
    EXPECT_TRUE(host.Found);
    EXPECT_EQ(host.Query, sb::kWhoisBAddr);
    EXPECT_EQ(host.HostName, sb::kWhoisB);
    EXPECT_EQ(host.Address, Ipv4(sb::kWhoisBAddr));
    EXPECT_EQ(trace.CurrentTarget(), sb::kWhoisB);
}

TEST_F(LookupRun, DottedAddressWithoutNameKeepsParsedAddress) {
    const TagHostEnt& host = Run(sb::kNamelessAddr);
    EXPECT_EQ(log.Kinds(), "Start LookupStart Resolved Done");
    EXPECT_FALSE(host.Found);
    EXPECT_EQ(host.HostName, "");
    EXPECT_EQ(host.Address, Ipv4(sb::kNamelessAddr));
    EXPECT_TRUE(host.Aliases.empty());
    EXPECT_TRUE(host.Addresses.empty());
    EXPECT_EQ(trace.CurrentTarget(), sb::kNamelessAddr) << "the dotted text as typed";
}

TEST_F(LookupRun, UnknownNameFailsWithTheTextAsName) {
    const TagHostEnt& host = Run(sb::kUnknown);
    EXPECT_FALSE(host.Found);
    EXPECT_EQ(host.Query, sb::kUnknown);
    EXPECT_EQ(host.HostName, sb::kUnknown);
    EXPECT_EQ(host.Address, 0u);
    EXPECT_EQ(trace.CurrentTarget(), sb::kUnknown);
}

TEST_F(LookupRun, DottedTextTheParserRejectsStoresAllOnes) {
    const TagHostEnt& host = Run("999.1.1.1");
    EXPECT_FALSE(host.Found);
    EXPECT_EQ(host.Address, 0xFFFFFFFFu);
    EXPECT_EQ(trace.CurrentTarget(), "999.1.1.1");
}

TEST_F(LookupRun, ResolveHostCopiesTheWholeEntry) {
    TagHostEnt host;
    host.HostName = "stale";
    host.Aliases = {"stale"};
    ResolveHost(sb::kMulti, host);
    EXPECT_TRUE(host.Found);
    EXPECT_EQ(host.HostName, sb::kMulti);
    EXPECT_EQ(host.Aliases.size(), 2u);
    ResolveHost(sb::kUnknown, host);
    EXPECT_FALSE(host.Found);
    EXPECT_TRUE(host.Aliases.empty()) << "the record is cleared before each lookup";
    EXPECT_TRUE(host.Addresses.empty());
}

TEST_F(LookupRun, LookupWithoutBoundEventsStillComesToRest) {
    TPingTrace bare;
    bare.Lookup(sb::kWhoisA);
    EXPECT_TRUE(PumpUntil([&] { return bare.FIdle; }));
    EXPECT_EQ(bare.FHost.Address, Ipv4(sb::kWhoisAAddr));
    EXPECT_TRUE(WorkersGone());
}

// IPv6 beside IPv4: each row a lookup through the controller with its family setting.
TEST_F(LookupRun, IPv6AddressesComeAfterTheIPv4OnesAndTheFamilyFilters) {
    const struct {
        const char* target;
        int family;
        bool found;
        const char* name;
        std::vector<std::string> addresses; // HostAddressTexts, IPv4 first
    } rows[] = {
        {sb::kV6Only, 0, true, sb::kV6Only, {sb::kV6OnlyAddr}},
        {sb::kDual, 0, true, sb::kDual, {sb::kDualAddr4, sb::kDualAddr6}},
        {sb::kDual, AF_INET6, true, sb::kDual, {sb::kDualAddr6}},
        {sb::kDual, AF_INET, true, sb::kDual, {sb::kDualAddr4}},
        {sb::kV6Only, AF_INET, false, sb::kV6Only, {}},
        {sb::kV6OnlyAddr, 0, true, sb::kV6Only, {sb::kV6OnlyAddr}},
        {"2001:db8::99", 0, false, "", {"2001:db8::99"}},
        {sb::kDualAddr4, AF_INET6, false, sb::kDual, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.target) + " " + std::to_string(row.family));
        log.events.clear();
        trace.FFamily = row.family;
        const TagHostEnt host = Run(row.target);
        EXPECT_EQ(host.Found, row.found);
        EXPECT_EQ(host.HostName, row.name);
        EXPECT_EQ(HostAddressTexts(host), row.addresses);
        EXPECT_EQ(UsesIPv6(host),
                  row.addresses.size() == 1 && row.addresses[0].find(':') != std::string::npos);
    }
}

// A name that the hosts file knows is answered there for both families at once: DNS is not
// asked for its other family (which would add DNS's addresses to a name the hosts file pins).
// The fake DNS server only counts questions; the unknown name shows that it is consulted.
TEST_F(LookupRun, NameTheHostsFileKnowsIsNotAskedOfDns) {
    const std::string dir = ::testing::TempDir();
    std::ofstream(dir + "nsswitch.conf") << "hosts: files dns\n";
    std::ofstream(dir + "resolv.conf") << "nameserver 127.0.0.53\noptions timeout:1 attempts:1\n";
    for (const char* file : {"nsswitch.conf", "resolv.conf"})
        ASSERT_EQ(::mount((dir + file).c_str(), (std::string("/etc/") + file).c_str(), nullptr,
                          MS_BIND, nullptr),
                  0);
    const int dns = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in at{AF_INET, htons(53), {Ipv4("127.0.0.53")}, {}};
    ASSERT_EQ(::bind(dns, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    const struct {
        const char* name;
        bool aliases;
        size_t v4, v6;
        bool dnsAsked;
    } rows[] = {{sb::kWhoisA, true, 1, 0, false},
                {sb::kV6Only, true, 0, 1, false},
                {sb::kDual, false, 1, 1, false},
                {sb::kUnknown, true, 0, 0, true}};
    for (const auto& row : rows) {
        TagHostEnt host;
        ResolveHost(row.name, host, 0, row.aliases);
        EXPECT_EQ(host.Addresses.size(), row.v4) << row.name;
        EXPECT_EQ(host.Addresses6.size(), row.v6) << row.name;
        char packet[512];
        EXPECT_EQ(::recv(dns, packet, sizeof packet, MSG_DONTWAIT) > 0, row.dnsAsked) << row.name;
        while (::recv(dns, packet, sizeof packet, MSG_DONTWAIT) > 0) {
        }
    }
    ::close(dns);
    ::umount("/etc/resolv.conf");
    ::umount("/etc/nsswitch.conf");
}

// Lookups through the controller against the sandbox's private hosts file: the record that
// arrives, the order of the events, and the current-target text afterwards.
#include "tests/engine/EngineHarness.h"

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

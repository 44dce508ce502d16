#include "rdap/RdapClient.h"

#include <gtest/gtest.h>

#include <thread>

#include "rdap/RdapLookup.h"
#include "rdap/RdapUpdate.h"
#include "tests/rdap/Helpers.h"
#include "tests/support/FakeHttpServer.h"
#include "tests/support/LookupGate.h"
#include "tests/support/NetSandbox.h"

namespace {

using namespace std::chrono_literals;
using testsupport::FakeHttpServer;
using testsupport::HttpReply;
using Status = rdap::FetchResult::Status;
namespace sb = testsupport::sandbox;

constexpr uint16_t kPort = 8080;

const std::string kBase = std::string("http://") + sb::kWhoisAAddr + ":8080";

TEST(RdapClient, FetchOutcomes) {
    HttpReply limited = Reply("", 429), longLimit = Reply("", 429), silent = Reply("{}");
    HttpReply overCap = Reply("", 429), past = Reply("", 429);
    limited.headers = {{"Retry-After", "1"}};
    longLimit.headers = {{"Retry-After", "10"}};
    overCap.headers = {{"Retry-After", "11"}};
    past.headers = {{"Retry-After", "Wed, 21 Oct 2015 07:28:00 GMT"}};
    silent.silentAfterHeaders = true;
    HttpReply html = Reply("{}");
    html.contentType = "text/html";
    const HttpReply moved = Reply("moved"), big = Reply(std::string(4u << 20, ' ')),
                    tooBig = Reply(std::string((4u << 20) + 1, ' '));
    const auto to = [](std::string location, int status = 302) {
        return FakeHttpServer::Redirect(std::move(location), status);
    };
    SecureFront tls(sb::kWhoisAAddr), untrusted(sb::kWhoisBAddr); // the client trusts `tls` only
    ASSERT_TRUE(tls.Ready() && untrusted.Ready());
    tls.Put("/qs", Reply("sealed"));
    tls.Put("/qr", to(tls.Url() + "/qs"));
    tls.Put("/qh", to(kBase + "/q"));
    const std::string q = kBase + "/q",
                      refused = std::string("http://") + sb::kRefusedAddr + ":8080/q",
                      sq = tls.Url() + "/q", badCa = untrusted.Url() + "/q";
    const struct {
        std::string url;
        std::map<std::string, std::vector<HttpReply>> replies;
        Status status;
        const char* found; // in the body, or at the start of the reason of an error
        std::size_t requests;
        std::chrono::milliseconds atLeast = 0ms, atMost = 3000ms, stopAfter = 0ms, timeout = 500ms;
    } rows[] = {
        {q, {{"/q", {Reply(R"({"ldhName":"a.test"})")}}}, Status::Ok, R"({"ldhName":"a.test"})", 1},
        {q, {}, Status::NotFound, R"({"errorCode":404,"title":"Not Found")", 1},
        {q,
         {{"/q", {limited, Reply("second")}}},
         Status::Ok,
         "second",
         2,
         900ms,
         3000ms,
         0ms,
         3000ms},
        {q, {{"/q", {limited}}}, Status::Error, "HTTP 429", 2, 900ms, 3000ms, 0ms, 3000ms},
        {q, {{"/q", {Reply("{}", 500)}}}, Status::Error, "HTTP 500", 1},
        {q, {{"/q", {to(kBase + "/r")}}, {"/r", {moved}}}, Status::Ok, "moved", 2},
        {q, {{"/q", {to("/r", 301)}}, {"/r", {moved}}}, Status::Ok, "moved", 2},
        {q, {{"/q", {to("/q")}}}, Status::Error, "more than 5 redirects", 6},
        {q, {{"/q", {tooBig}}}, Status::Error, "answer larger than", 1},
        {q, {{"/q", {big}}}, Status::Ok, "    ", 1},
        {q, {{"/q", {html}}}, Status::Ok, "{}", 1},
        {q, {{"/q", {silent}}}, Status::Error, "time-out", 1, 400ms},
        {q, {{"/q", {silent}}}, Status::Stopped, "", 1, 0ms, 1000ms, 150ms},
        {q, {{"/q", {longLimit}}}, Status::Stopped, "", 1, 0ms, 1000ms, 150ms, 15000ms},
        {q, {{"/q", {overCap, moved}}}, Status::Ok, "moved", 2, 9900ms, 10500ms, 0ms, 15000ms},
        {q, {{"/q", {past, moved}}}, Status::Ok, "moved", 2, 0ms, 300ms},
        {q, {{"/q", {longLimit}}}, Status::Error, "HTTP 429: the server asks", 1, 0ms, 300ms},
        // One time-out for the whole fetch: the wait and the silent second answer share it.
        {q, {{"/q", {limited, silent}}}, Status::Error, "time-out", 2, 1400ms, 1700ms, 0ms, 1500ms},
        {q,
         {{"/q", {to("file:///etc/passwd")}}},
         Status::Error,
         "redirect to file:///etc/passwd refused",
         1},
        {refused, {}, Status::Error, "connection", 0},
        {"http://nowhere.a.test:8080/q", {}, Status::Error, "DNS: ", 0}, // not in the hosts file
        {sq + "s", {}, Status::Ok, "sealed", 0},
        {sq + "r", {}, Status::Ok, "sealed", 0},
        {sq + "h", {}, Status::Error, "redirect from https to http://", 0},
        {badCa, {}, Status::Error, "TLS: ", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.url + " " + row.found);
        FakeHttpServer server(sb::kWhoisAAddr, kPort, Sequence(row.replies));
        ASSERT_TRUE(server.Listening()) << server.Error();
        std::atomic<bool> stop{false};
        rdap::FetchOptions options;
        options.timeout = row.timeout;
        options.caFile = tls.CaFile();
        options.stop = &stop;
        std::thread stopper([&] {
            if (row.stopAfter.count() > 0 && server.Tcp().WaitConnections(1, 3000ms)) {
                std::this_thread::sleep_for(row.stopAfter);
                stop = true;
            }
        });
        auto start = std::chrono::steady_clock::now();
        rdap::FetchResult r = rdap::Fetch(row.url, options);
        auto took = std::chrono::steady_clock::now() - start;
        stopper.join();
        EXPECT_EQ(r.status, row.status) << r.reason;
        EXPECT_EQ((r.status == Status::Error ? r.reason : r.body).rfind(row.found, 0), 0u)
            << r.reason;
        EXPECT_GE(took, row.atLeast);
        EXPECT_LE(took, row.atMost + row.stopAfter);
        auto requests = server.Requests();
        EXPECT_EQ(requests.size(), row.requests);
        for (auto& q : requests)
            EXPECT_EQ(q.headers["accept"].rfind("application/rdap+json,", 0), 0u);
    }
}

// A name lookup of the RDAP host held in the resolver (as behind a DNS server that never
// answers) neither delays Stop nor stretches the time-out.
TEST(RdapClient, AHeldNameLookupDelaysNeitherStopNorTheTimeOut) {
    testsupport::LookupGate gate;
    ASSERT_TRUE(gate.Closed()) << gate.Error();
    const struct {
        std::chrono::milliseconds stopAfter, timeout;
        Status status;
    } rows[] = {{150ms, 5000ms, Status::Stopped}, {0ms, 400ms, Status::Error}};
    for (const auto& row : rows) {
        std::atomic<bool> stop{false};
        rdap::FetchOptions options;
        options.timeout = row.timeout;
        options.stop = &stop;
        std::thread stopper([&] {
            if (row.stopAfter.count() > 0) {
                std::this_thread::sleep_for(row.stopAfter);
                stop = true;
            }
        });
        auto start = std::chrono::steady_clock::now();
        rdap::FetchResult r = rdap::Fetch("http://held.a.test:8080/q", options);
        auto took = std::chrono::steady_clock::now() - start;
        stopper.join();
        EXPECT_EQ(r.status, row.status) << r.reason;
        EXPECT_EQ(r.reason, row.status == Status::Error ? "time-out" : "");
        EXPECT_LE(took, (row.stopAfter.count() > 0 ? row.stopAfter : row.timeout) + 250ms);
    }
    gate.Release();
}

// The whole step: registry, then the registrar through the related link.
TEST(RdapLookup, RegistryThenRegistrar) {
    SecureFront tls(sb::kWhoisAAddr);
    const std::string reg = "/reg/domain/a.test", rr = "/rr/domain/a.test";
    auto registry = [](const std::string& link) {
        return Reply(R"({"objectClassName":"domain","ldhName":"a.test","links":[{"rel":"related",
            "type":"application/rdap+json","href":")" +
                     link + R"("}]})");
    };
    HttpReply registrar = Reply(R"({"objectClassName":"domain","ldhName":"a.test","entities":[
        {"roles":["registrant"],"vcardArray":["vcard",[["org",{},"text","Holder Ltd"]]]}]})");
    using LS = rdap::LookupResult::Status;
    const struct {
        HttpReply atRegistry, atRegistrar;
        LS status;
        const char* shown;
        std::size_t steps;
    } rows[] = {
        {registry(tls.Url() + rr), registrar, LS::Hit,
         "a.test\n|\nDomain Name: a.test\nRegistrant:\n  Organization: Holder Ltd", 2},
        {registry(tls.Url() + rr), Reply("{}", 503), LS::Hit, "a.test|:8443: HTTP 503", 2},
        {registry(kBase + rr), registrar, LS::Hit, "a.test|not followed: not https", 1},
        {FakeHttpServer::NotFound(), registrar, LS::NoMatch, "No match: Not Found: No such object",
         1},
        {Reply("{}", 500), registrar, LS::Error, "", 1},
    };
    rdap::Bootstrap bootstrap;
    ASSERT_TRUE(bootstrap.AddFile(rdap::QueryKind::Domain,
                                  R"({"services":[[["test"],[")" + tls.Url() + R"(/reg"]]]})"));
    rdap::FetchOptions options;
    options.caFile = tls.CaFile();
    for (const auto& row : rows) {
        tls.Put(reg, row.atRegistry);
        tls.Put(rr, row.atRegistrar);
        std::vector<std::string> announced;
        rdap::LookupResult r =
            rdap::Lookup("a.test", bootstrap, options,
                         [&](const std::string& url) { announced.push_back(url); });
        EXPECT_EQ(r.status, row.status) << row.shown;
        ExpectShown(r.text, row.shown, row.shown);
        EXPECT_EQ(r.steps.size(), row.steps) << row.shown;
        std::vector<std::string> asked{tls.Url() + reg, tls.Url() + rr};
        asked.resize(row.steps);
        EXPECT_EQ(announced, asked);
        EXPECT_EQ(r.errorLine,
                  r.status != LS::Error ? "" : "RDAP server " + tls.Url().substr(8) + ": HTTP 500");
    }
    EXPECT_EQ(rdap::Lookup("a.example", bootstrap, {}).status, LS::NoService);
}

// Fresh files replace the old ones; a file that fails or is not bootstrap JSON leaves the old.
TEST(RdapUpdate, KeepsOldFilesWhenADownloadIsBad) {
    std::string shipped = std::string(ZW_DATA_DIR) + "/rdap/";
    FakeHttpServer server(
        sb::kWhoisAAddr, kPort,
        FakeHttpServer::Routes({{"/iana/dns.json", Reply("<html>maintenance</html>")},
                                {"/iana/ipv4.json", Reply(ReadRaw(shipped + "ipv4.json"))},
                                {"/iana/asn.json", Reply(ReadRaw(shipped + "asn.json"))}}));
    TempDir home;
    std::string folder = home.path() + "/rdap";
    std::filesystem::create_directories(folder);
    for (const char* name : {"dns.json", "ipv4.json", "ipv6.json", "asn.json"})
        std::ofstream(folder + "/" + name) << "old";
    rdap::UpdateResult r = rdap::UpdateBootstrap(kBase + "/iana", folder, {});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(ReadRaw(folder + "/dns.json"), "old");
    EXPECT_EQ(ReadRaw(folder + "/ipv4.json"), ReadRaw(shipped + "ipv4.json"));
    EXPECT_EQ(ReadRaw(folder + "/ipv6.json"), "old");
    EXPECT_EQ(ReadRaw(folder + "/asn.json"), ReadRaw(shipped + "asn.json"));
    ASSERT_EQ(r.lines.size(), 4u);
    EXPECT_EQ(r.lines[1], "ipv4.json: updated");
    EXPECT_NE(r.lines[2].find("kept the old file"), std::string::npos) << r.lines[2];
    EXPECT_FALSE(std::filesystem::exists(folder + "/dns.json.new"));
}

} // namespace

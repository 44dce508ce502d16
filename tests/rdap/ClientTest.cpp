#include "rdap/RdapClient.h"

#include <gtest/gtest.h>

#include <optional>
#include <thread>

#include <sys/mount.h>

#include "rdap/RdapLookup.h"
#include "rdap/RdapUpdate.h"
#include "tests/rdap/Helpers.h"
#include "tests/support/BlackHole.h"
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
    HttpReply limited = Reply("", 429), wait10 = Reply("", 429), silent = Reply("{}");
    HttpReply wait11 = Reply("", 429), past = Reply("", 429);
    limited.headers = {{"Retry-After", "1"}};
    wait10.headers = {{"Retry-After", "10"}};
    wait11.headers = {{"Retry-After", "11"}};
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
                      sq = tls.Url() + "/q", badCa = untrusted.Url() + "/q",
                      held = "http://held.a.test:8080/q"; // its name lookup never ends
    // A refused redirect names the first 200 characters of its target, exactly.
    const std::string longTarget = "file:///" + std::string(292, 'x'),
                      longReason = "redirect to " + longTarget.substr(0, 200) + " refused";
    const struct {
        std::string url;
        std::map<std::string, std::vector<HttpReply>> replies;
        Status status;
        const char* found; // in the body, or at the start of the reason of an error
        std::size_t requests;
        std::chrono::milliseconds timeout = 500ms, atLeast = 0ms, atMost = 3000ms, stopAfter = 0ms;
    } rows[] = {
        {q, {{"/q", {Reply(R"({"ldhName":"a.test"})")}}}, Status::Ok, R"({"ldhName":"a.test"})", 1},
        {q, {}, Status::NotFound, R"({"errorCode":404,"title":"Not Found")", 1},
        {q, {{"/q", {limited, Reply("second")}}}, Status::Ok, "second", 2, 3s, 900ms},
        {q, {{"/q", {limited}}}, Status::Error, "HTTP 429", 2, 3s, 900ms},
        {q, {{"/q", {Reply("{}", 500)}}}, Status::Error, "HTTP 500", 1},
        {q, {{"/q", {to(kBase + "/r")}}, {"/r", {moved}}}, Status::Ok, "moved", 2},
        {q, {{"/q", {to("/r", 301)}}, {"/r", {moved}}}, Status::Ok, "moved", 2},
        {q, {{"/q", {to("/q")}}}, Status::Error, "more than 5 redirects", 6},
        {q, {{"/q", {tooBig}}}, Status::Error, "answer larger than", 1},
        {q, {{"/q", {big}}}, Status::Ok, "    ", 1},
        {q, {{"/q", {html}}}, Status::Ok, "{}", 1},
        {q, {{"/q", {silent}}}, Status::Error, "time-out", 1, 500ms, 400ms},
        {q, {{"/q", {silent}}}, Status::Stopped, "", 1, 500ms, 0ms, 1000ms, 150ms},
        {q, {{"/q", {wait10}}}, Status::Stopped, "", 1, 15s, 0ms, 1000ms, 150ms},
        {q, {{"/q", {wait11, moved}}}, Status::Ok, "moved", 2, 15s, 9900ms, 10500ms}, // the cap
        {q, {{"/q", {past, moved}}}, Status::Ok, "moved", 2, 500ms, 0ms, 300ms},
        {q, {{"/q", {wait10}}}, Status::Error, "HTTP 429: the server asks", 1, 500ms, 0ms, 300ms},
        // One time-out for the whole fetch: the wait and the silent second answer share it.
        {q, {{"/q", {limited, silent}}}, Status::Error, "time-out", 2, 1500ms, 1400ms, 1700ms},
        {q, {{"/q", {to("file:///x")}}}, Status::Error, "redirect to file:///x refused", 1},
        {q, {{"/q", {to(longTarget)}}}, Status::Error, longReason.c_str(), 1},
        {refused, {}, Status::Error, "connection", 0},
        {"http://nowhere.a.test:8080/q", {}, Status::Error, "DNS: ", 0}, // not in the hosts file
        {held, {}, Status::Error, "time-out", 0, 400ms, 0ms, 650ms},
        {held, {}, Status::Stopped, "", 0, 5s, 0ms, 400ms, 150ms},
        {sq + "s", {}, Status::Ok, "sealed", 0},
        {sq + "r", {}, Status::Ok, "sealed", 0},
        {sq + "h", {}, Status::Error, "redirect from https to http://", 0},
        {badCa, {}, Status::Error, "TLS: ", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.url + " " + row.found);
        FakeHttpServer server(sb::kWhoisAAddr, kPort, Sequence(row.replies));
        ASSERT_TRUE(server.Listening()) << server.Error();
        std::optional<testsupport::LookupGate> gate;
        if (row.url == held)
            gate.emplace(); // every name lookup now stays in the resolver
        std::atomic<bool> stop{false};
        rdap::FetchOptions options;
        options.timeout = row.timeout;
        options.caFile = tls.CaFile();
        options.stop = &stop;
        std::thread stopper([&] {
            if (row.stopAfter.count() > 0 && (gate || server.Tcp().WaitConnections(1, 3000ms))) {
                std::this_thread::sleep_for(row.stopAfter);
                stop = true;
            }
        });
        auto start = std::chrono::steady_clock::now();
        rdap::FetchResult r = rdap::Fetch(row.url, options);
        auto took = std::chrono::steady_clock::now() - start;
        stopper.join();
        if (gate)
            gate->Release();
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
    HttpReply portal = Reply("<html>portal</html>");
    portal.contentType = "text/html";
    const std::string rdapError = R"({"rdapConformance":["rdap_level_0"],"errorCode":)";
    using LS = rdap::LookupResult::Status;
    const struct {
        HttpReply atRegistry, atRegistrar;
        LS status;
        const char* shown;
        std::size_t steps;
        std::string error = ""; // the error line after "RDAP server HOST: "
        std::size_t failures = 0;
    } rows[] = {
        {registry(tls.Url() + rr), registrar, LS::Hit,
         "a.test\n|\nDomain Name: a.test\nRegistrant:\n  Organization: Holder Ltd", 2},
        {registry(tls.Url() + rr), Reply("{}", 503), LS::Hit, "a.test|:8443: HTTP 503", 2, "", 1},
        {registry(tls.Url() + rr), portal, LS::Hit, ":8443: not RDAP (text/html, 19 bytes)\n", 2,
         "", 1},
        {registry(kBase + rr), registrar, LS::Hit, "a.test|not followed: not https", 1},
        {registry(tls.Url() + reg), registrar, LS::Hit, "Domain Name: a.test", 1}, // its own URL
        {FakeHttpServer::NotFound(), registrar, LS::NoMatch, "No match: Not Found: No such object",
         1},
        {Reply(rdapError + R"(404,"title":"Gone"})"), registrar, LS::NoMatch, "No match: Gone", 1},
        {Reply("{}", 500), registrar, LS::Error, "", 1, "HTTP 500", 1},
        {portal, registrar, LS::Error, "", 1, "not RDAP (text/html, 19 bytes)", 1},
        {Reply(R"({"ldhName":"a.test"})"), registrar, LS::Error, "", 1,
         "not RDAP (application/rdap+json, 20 bytes)", 1},
        {Reply(rdapError + R"("500","title":"Down"})"), registrar, LS::Error, "", 1,
         "Error (HTTP 200): Down", 1},
        {Reply(R"({"rdapConformance":[],"domainSearchResults":[]})"), registrar, LS::Hit, "", 1},
    };
    // The service's first base refuses: each lookup goes on with the next one.
    const std::string first = std::string("https://") + sb::kRefusedAddr + ":8443/x/";
    rdap::Bootstrap bootstrap;
    ASSERT_TRUE(bootstrap.AddFile(rdap::QueryKind::Domain, R"({"services":[[["test"],[")" + first +
                                                               R"(",")" + tls.Url() +
                                                               R"(/reg"]]]})"));
    rdap::FetchOptions options;
    options.caFile = tls.CaFile();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.atRegistry.body);
        tls.Put(reg, row.atRegistry);
        tls.Put(rr, row.atRegistrar);
        std::vector<std::string> announced;
        rdap::LookupResult r =
            rdap::Lookup("a.test", bootstrap, options,
                         [&](const std::string& url) { announced.push_back(url); });
        EXPECT_EQ(r.status, row.status) << row.shown;
        ExpectShown(r.text, row.shown, row.shown);
        std::vector<std::string> asked{first + "domain/a.test", tls.Url() + reg, tls.Url() + rr};
        asked.resize(row.steps + 1);
        EXPECT_EQ(announced, asked);
        EXPECT_EQ(r.steps, asked);
        const std::string refusal = std::string("RDAP server ") + sb::kRefusedAddr + ":8443: conn",
                          tail = "; RDAP server " + tls.Url().substr(8) + ": " + row.error;
        EXPECT_TRUE(row.error.empty()
                        ? r.errorLine.empty()
                        : r.errorLine.starts_with(refusal) && r.errorLine.ends_with(tail))
            << r.errorLine;
        ASSERT_EQ(r.failures.size(), row.failures + 1);
        EXPECT_TRUE(r.failures.front().line.starts_with(refusal));
        const bool notRdap = (r.text + r.errorLine).find("not RDAP") != std::string::npos;
        EXPECT_EQ(r.failures.back().kind, notRdap ? rdap::Failure::NotRdap : rdap::Failure::Server);
    }
    EXPECT_EQ(rdap::Lookup("a.example", bootstrap, {}).status, LS::NoService);
}

// One time-out for the whole step: a 429's wait, then a registrar that never answers.
TEST(RdapLookup, OneTimeOutForTheWholeStep) {
    HttpReply limited = Reply("", 429), silent = Reply("{}");
    limited.headers = {{"Retry-After", "1"}};
    silent.silentAfterHeaders = true;
    const HttpReply record = Reply(R"({"objectClassName":"domain","handle":"B-1","links":[{"rel":
        "related","type":"application/rdap+json","href":")" +
                                   kBase + R"(/rar/domain/a.test"}]})");
    FakeHttpServer server(
        sb::kWhoisAAddr, kPort,
        Sequence({{"/b/domain/a.test", {limited, record}}, {"/rar/domain/a.test", {silent}}}));
    rdap::Bootstrap bootstrap;
    ASSERT_TRUE(bootstrap.AddFile(rdap::QueryKind::Domain,
                                  R"({"services":[[["test"],[")" + kBase + R"(/b"]]]})"));
    rdap::FetchOptions options;
    options.timeout = 1500ms;
    auto start = std::chrono::steady_clock::now();
    rdap::LookupResult r = rdap::Lookup("a.test", bootstrap, options);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(r.status, rdap::LookupResult::Status::Hit);
    ExpectShown(r.text, "Handle: B-1\n\nRDAP server 127.0.0.2:8080: time-out\n", "text");
    EXPECT_GE(took, 1400ms);
    EXPECT_LE(took, 1750ms);
}

// Fresh files replace the old ones; a file that fails, is not bootstrap JSON, is of another
// kind, lists no service or cannot be written leaves the old one in place.
TEST(RdapUpdate, KeepsOldFilesUnlessTheDownloadIsWholeAndOfItsKind) {
    const std::string shipped = std::string(ZW_DATA_DIR) + "/rdap/";
    const std::string dns = ReadRaw(shipped + "dns.json"), v4 = ReadRaw(shipped + "ipv4.json"),
                      v6 = ReadRaw(shipped + "ipv6.json"), asn = ReadRaw(shipped + "asn.json");
    const HttpReply html = Reply("<html>maintenance</html>"), busy = Reply("{}", 503),
                    empty = Reply(R"({"version":"1.0","services":[]})");
    SecureFront tls(sb::kWhoisAAddr);
    ASSERT_TRUE(tls.Ready());
    TempDir home;
    const std::string folder = home.path() + "/rdap/";
    std::filesystem::create_directories(folder);
    const char* const names[] = {"dns.json", "ipv4.json", "ipv6.json", "asn.json"};
    std::map<std::string, std::string> held; // what each file should hold
    for (const char* name : names)
        testutil::WriteRaw(folder + name, held[name] = std::string("old ") + name);
    const struct {
        std::vector<HttpReply> served; // in the order of `names`; none when status is 0
                                       // (the front answers with a page of its own)
        bool readOnly;
        // One letter a file: 'u' updated; kept as 'i' invalid, 'f' failed,
        // 's' not stored (the window words each outcome).
        const char* updated;
    } runs[] = {
        {{Reply(asn), Reply(v4), Reply(v4), empty}, false, "iuii"},
        {{html, busy, Reply("", 0), Reply(asn)}, false, "ifiu"},
        {{Reply(dns), Reply(v4), Reply(v6), Reply(asn)}, true, "ssss"},
        {{Reply(dns), Reply(v6), Reply(v6), Reply(dns)}, false, "uiui"},
        // The least a file may hold: one service of one entry.
        {{Reply(R"({"services":[[["ltd"],["https://r.test/"]]]})"),
          Reply(R"({"services":[[["198.18.0.0/15"],["https://r.test/"]]]})"),
          Reply(R"({"services":[[["2001:db8::/32"],["https://r.test/"]]]})"),
          Reply(R"({"services":[[["64496-64511"],["https://r.test/"]]]})")},
         false,
         "uuuu"},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.updated);
        for (std::size_t i = 0; i < 4; ++i) {
            std::filesystem::remove(tls.dir.path() + "/iana/" + names[i]);
            if (run.served[i].status != 0)
                tls.Put(std::string("/iana/") + names[i], run.served[i]);
        }
        if (run.readOnly) {
            ASSERT_EQ(::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr), 0);
            ASSERT_EQ(::mount(nullptr, folder.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY,
                              nullptr),
                      0);
        }
        rdap::FetchOptions options;
        options.caFile = tls.CaFile();
        const rdap::UpdateResult r = rdap::UpdateBootstrap(tls.Url() + "/iana", folder, options);
        if (run.readOnly)
            ::umount(folder.c_str());
        EXPECT_EQ(r.ok, std::string(run.updated) == "uuuu");
        ASSERT_EQ(r.lines.size(), 4u);
        ASSERT_EQ(r.files.size(), 4u);
        for (std::size_t i = 0; i < 4; ++i) {
            const bool updated = run.updated[i] == 'u';
            using O = rdap::FileUpdate::Outcome;
            const std::map<char, O> outcomes{{'u', O::Updated},
                                             {'i', O::Invalid},
                                             {'f', O::Failed},
                                             {'n', O::NotFound},
                                             {'s', O::NotStored}};
            EXPECT_EQ(r.files[i].outcome, outcomes.at(run.updated[i])) << names[i];
            if (updated)
                held[names[i]] = run.served[i].body;
            EXPECT_EQ(ReadRaw(folder + names[i]), held[names[i]]) << names[i];
            EXPECT_EQ(r.lines[i].rfind(std::string(names[i]) +
                                           (updated ? ": updated" : ": kept the old file ("),
                                       0),
                      0u)
                << r.lines[i];
        }
        EXPECT_EQ(home.entries().size(), 1u);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 4);
    }
}

// A source that never answers costs the update's one time-out, not one a file; each line
// names the file and the reason, and says where there was no file to keep.
TEST(RdapUpdate, OneTimeOutBoundsTheWholeUpdate) {
    TempDir home;
    const std::string folder = home.path() + "/rdap/";
    std::filesystem::create_directories(folder);
    testutil::WriteRaw(folder + "ipv4.json", "old");
    testsupport::BlackHole silent(sb::kWhoisAAddr, kPort);
    ASSERT_TRUE(silent.Ready()) << silent.Error();
    rdap::FetchOptions options;
    options.timeout = 1s;
    const auto start = std::chrono::steady_clock::now();
    const rdap::UpdateResult r = rdap::UpdateBootstrap(kBase, folder, options);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    ASSERT_EQ(r.lines.size(), 4u);
    const std::string host = std::string(sb::kWhoisAAddr) + ":8080: ";
    EXPECT_EQ(r.lines[0], "dns.json: no file yet (" + host + "time-out)");
    EXPECT_EQ(r.lines[1].rfind("ipv4.json: kept the old file (" + host, 0), 0u) << r.lines[1];
    EXPECT_EQ(r.lines[3],
              "asn.json: no file yet (" + host + "no time left of the update's time-out)");
    // A source without a host is named by its URL.
    const rdap::UpdateResult bad = rdap::UpdateBootstrap("file:///nowhere", folder, options);
    EXPECT_EQ(bad.lines[0].rfind("dns.json: no file yet (file:///nowhere/dns.json: ", 0), 0u)
        << bad.lines[0];
}

} // namespace

#include "rdap/RdapClient.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "rdap/RdapLookup.h"
#include "rdap/RdapUpdate.h"
#include "tests/rdap/TempDir.h"
#include "tests/support/FakeHttpServer.h"
#include "tests/support/NetSandbox.h"

namespace {

using namespace std::chrono_literals;
using testsupport::FakeHttpServer;
using testsupport::HttpReply;
using Status = rdap::FetchResult::Status;

constexpr uint16_t kPort = 8080;

HttpReply Json(std::string body, int status = 200) {
    HttpReply r;
    r.status = status;
    r.body = std::move(body);
    return r;
}

// The n-th request for a target gets the n-th reply listed for it (the last one repeats).
FakeHttpServer::Handler Sequence(std::map<std::string, std::vector<HttpReply>> replies) {
    auto counts = std::make_shared<std::map<std::string, std::size_t>>();
    return [replies = std::move(replies), counts](const testsupport::HttpRequest& request) {
        auto it = replies.find(request.target);
        if (it == replies.end())
            return FakeHttpServer::NotFound();
        std::size_t n = (*counts)[request.target]++;
        return it->second[std::min(n, it->second.size() - 1)];
    };
}

std::string Base() {
    return std::string("http://") + testsupport::sandbox::kWhoisAAddr + ":8080";
}

TEST(RdapClient, FetchOutcomes) {
    HttpReply limited = Json("", 429);
    limited.headers = {{"Retry-After", "1"}};
    HttpReply slow = Json("{}");
    slow.silentAfterHeaders = true;
    const struct {
        const char* what;
        std::map<std::string, std::vector<HttpReply>> replies;
        Status status;
        const char* found; // in the body, or in the reason of an error
        std::size_t requests;
        std::chrono::milliseconds timeout = 5000ms;
        std::chrono::milliseconds atLeast = 0ms;
    } rows[] = {
        {"answer", {{"/q", {Json(R"({"ldhName":"a.test"})")}}}, Status::Ok, "a.test", 1},
        {"404 keeps the error object", {}, Status::NotFound, "No such object", 1},
        {"429 then the answer",
         {{"/q", {limited, Json("second")}}},
         Status::Ok,
         "second",
         2,
         5000ms,
         900ms},
        {"429 twice", {{"/q", {limited}}}, Status::Error, "HTTP 429", 2},
        {"500", {{"/q", {Json("{}", 500)}}}, Status::Error, "HTTP 500", 1},
        {"redirect",
         {{"/q", {FakeHttpServer::Redirect(Base() + "/r")}}, {"/r", {Json("moved")}}},
         Status::Ok,
         "moved",
         2},
        {"relative redirect",
         {{"/q", {FakeHttpServer::Redirect("/r", 301)}}, {"/r", {Json("moved")}}},
         Status::Ok,
         "moved",
         2},
        {"redirect loop",
         {{"/q", {FakeHttpServer::Redirect("/q")}}},
         Status::Error,
         "more than 5 redirects",
         6},
        {"over 4 MiB",
         {{"/q", {Json(std::string((4u << 20) + 1, ' '))}}},
         Status::Error,
         "larger than",
         1},
        {"exactly 4 MiB", {{"/q", {Json(std::string(4u << 20, ' '))}}}, Status::Ok, "", 1},
        {"wrong content type",
         {{"/q", {[] {
               HttpReply r = Json("{}");
               r.contentType = "text/html";
               return r;
           }()}}},
         Status::Ok,
         "{}",
         1},
        {"silent server", {{"/q", {slow}}}, Status::Error, "time-out", 1, 300ms},
    };
    for (const auto& row : rows) {
        FakeHttpServer server(testsupport::sandbox::kWhoisAAddr, kPort, Sequence(row.replies));
        ASSERT_TRUE(server.Listening()) << server.Error();
        rdap::FetchOptions options;
        options.timeout = row.timeout;
        auto start = std::chrono::steady_clock::now();
        rdap::FetchResult r = rdap::Fetch(Base() + "/q", options);
        auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(r.status, row.status) << row.what << ": " << r.reason;
        const std::string& text = r.status == Status::Error ? r.reason : r.body;
        EXPECT_NE(text.find(row.found), std::string::npos)
            << row.what << ": " << text.substr(0, 200);
        EXPECT_GE(took, row.atLeast) << row.what;
        auto requests = server.Requests();
        EXPECT_EQ(requests.size(), row.requests) << row.what;
        for (auto& q : requests)
            EXPECT_EQ(q.headers["accept"], "application/rdap+json") << row.what;
    }
}

TEST(RdapClient, StopEndsASlowAnswerAtOnce) {
    HttpReply slow = Json("{}");
    slow.silentAfterHeaders = true;
    HttpReply limited = Json("", 429);
    limited.headers = {{"Retry-After", "10"}};
    for (const HttpReply& reply : {slow, limited}) {
        FakeHttpServer server(testsupport::sandbox::kWhoisAAddr, kPort,
                              FakeHttpServer::Routes({{"/q", reply}}));
        std::atomic<bool> stop{false};
        rdap::FetchOptions options;
        options.stop = &stop;
        std::thread stopper([&] {
            server.Tcp().WaitConnections(1, 5000ms);
            std::this_thread::sleep_for(100ms);
            stop = true;
        });
        auto start = std::chrono::steady_clock::now();
        rdap::FetchResult r = rdap::Fetch(Base() + "/q", options);
        auto took = std::chrono::steady_clock::now() - start;
        stopper.join();
        EXPECT_EQ(r.status, Status::Stopped) << reply.status;
        EXPECT_LT(took, 1000ms) << reply.status;
    }
}

TEST(RdapClient, RefusedAndTlsFailuresNameTheReason) {
    const struct {
        std::string url;
        const char* reason;
    } rows[] = {
        {std::string("http://") + testsupport::sandbox::kRefusedAddr + ":8080/q", "connection"},
        {std::string("https://") + testsupport::sandbox::kWhoisAAddr + ":8080/q", "TLS"},
    };
    FakeHttpServer server(testsupport::sandbox::kWhoisAAddr, kPort, FakeHttpServer::Routes({}));
    for (const auto& row : rows) {
        rdap::FetchResult r = rdap::Fetch(row.url, {});
        EXPECT_EQ(r.status, Status::Error) << row.url;
        EXPECT_EQ(r.reason.rfind(row.reason, 0), 0u) << row.url << ": " << r.reason;
    }
}

// The whole step: registry, then the registrar through the related link.
TEST(RdapLookup, RegistryThenRegistrar) {
    std::string registry =
        R"({"objectClassName":"domain","ldhName":"a.test","links":[{"rel":"related",
        "type":"application/rdap+json","href":")" +
        Base() + R"(/rr/domain/a.test"}]})";
    std::string registrar =
        R"({"objectClassName":"domain","ldhName":"a.test","entities":[{"roles":["registrant"],
        "vcardArray":["vcard",[["org",{},"text","Holder Ltd"]]]}]})";
    const struct {
        const char* what;
        std::map<std::string, std::vector<HttpReply>> replies;
        rdap::LookupResult::Status status;
        std::vector<const char*> shown;
        std::size_t steps;
    } rows[] = {
        {"both",
         {{"/reg/domain/a.test", {Json(registry)}}, {"/rr/domain/a.test", {Json(registrar)}}},
         rdap::LookupResult::Status::Hit,
         {"Domain Name: a.test", "Organization: Holder Ltd"},
         2},
        {"registrar fails",
         {{"/reg/domain/a.test", {Json(registry)}}, {"/rr/domain/a.test", {Json("{}", 503)}}},
         rdap::LookupResult::Status::Hit,
         {"Domain Name: a.test", "HTTP 503"},
         2},
        {"no match",
         {},
         rdap::LookupResult::Status::NoMatch,
         {"No match: Not Found: No such object"},
         1},
        {"registry fails",
         {{"/reg/domain/a.test", {Json("{}", 500)}}},
         rdap::LookupResult::Status::Error,
         {},
         1},
    };
    rdap::Bootstrap bootstrap;
    ASSERT_TRUE(bootstrap.AddFile(rdap::QueryKind::Domain,
                                  R"({"services":[[["test"],[")" + Base() + R"(/reg"]]]})"));
    for (const auto& row : rows) {
        FakeHttpServer server(testsupport::sandbox::kWhoisAAddr, kPort, Sequence(row.replies));
        std::vector<std::string> announced;
        rdap::LookupResult r = rdap::Lookup(
            "a.test", bootstrap, {}, [&](const std::string& url) { announced.push_back(url); });
        EXPECT_EQ(r.status, row.status) << row.what;
        for (const char* shown : row.shown)
            EXPECT_NE(r.text.find(shown), std::string::npos) << row.what << ": " << r.text;
        EXPECT_EQ(r.steps.size(), row.steps) << row.what;
        EXPECT_EQ(announced.size(), row.steps) << row.what;
        EXPECT_EQ(announced.front(), Base() + "/reg/domain/a.test") << row.what;
        if (r.status == rdap::LookupResult::Status::Error) {
            EXPECT_EQ(r.errorLine, std::string("RDAP server ") + testsupport::sandbox::kWhoisAAddr +
                                       ":8080: HTTP 500");
        }
    }
    EXPECT_EQ(rdap::Lookup("a.example", bootstrap, {}).status,
              rdap::LookupResult::Status::NoService);
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Fresh files replace the old ones; a file that fails or is not bootstrap JSON leaves the old.
TEST(RdapUpdate, KeepsOldFilesWhenADownloadIsBad) {
    std::string shipped = std::string(ZW_DATA_DIR) + "/rdap/";
    FakeHttpServer server(
        testsupport::sandbox::kWhoisAAddr, kPort,
        FakeHttpServer::Routes({{"/iana/dns.json", Json("<html>maintenance</html>")},
                                {"/iana/ipv4.json", Json(ReadAll(shipped + "ipv4.json"))},
                                {"/iana/asn.json", Json(ReadAll(shipped + "asn.json"))}}));
    TempDir home;
    std::string folder = home.path + "/rdap";
    std::filesystem::create_directories(folder);
    for (const char* name : {"dns.json", "ipv4.json", "ipv6.json", "asn.json"})
        std::ofstream(folder + "/" + name) << "old";
    rdap::UpdateResult r = rdap::UpdateBootstrap(Base() + "/iana", folder, {});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(ReadAll(folder + "/dns.json"), "old");
    EXPECT_EQ(ReadAll(folder + "/ipv4.json"), ReadAll(shipped + "ipv4.json"));
    EXPECT_EQ(ReadAll(folder + "/ipv6.json"), "old");
    EXPECT_EQ(ReadAll(folder + "/asn.json"), ReadAll(shipped + "asn.json"));
    ASSERT_EQ(r.lines.size(), 4u);
    EXPECT_EQ(r.lines[1], "ipv4.json: updated");
    EXPECT_NE(r.lines[2].find("kept the old file"), std::string::npos) << r.lines[2];
    EXPECT_FALSE(std::filesystem::exists(folder + "/dns.json.new"));
}

} // namespace

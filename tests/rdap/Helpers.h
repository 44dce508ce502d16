#pragma once

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/platform/TempDir.h"
#include "tests/support/FakeHttpServer.h"

using testutil::ReadRaw;
using testutil::TempDir;

// Checks that each '|'-separated part of `shown` is in the text.
inline void ExpectShown(const std::string& text, std::string_view shown, const std::string& what) {
    while (!shown.empty()) {
        std::string_view part = shown.substr(0, shown.find('|'));
        EXPECT_NE(text.find(part), std::string::npos) << what << " lacks " << part << "\n" << text;
        shown.remove_prefix(std::min(shown.size(), part.size() + 1));
    }
}

inline testsupport::HttpReply Reply(std::string body, int status = 200) {
    testsupport::HttpReply r;
    r.status = status;
    r.body = std::move(body);
    return r;
}

// The n-th request for a target gets the n-th reply listed for it (the last one repeats).
inline testsupport::FakeHttpServer::Handler
Sequence(std::map<std::string, std::vector<testsupport::HttpReply>> replies) {
    auto counts = std::make_shared<std::map<std::string, std::size_t>>();
    return [replies = std::move(replies), counts](const testsupport::HttpRequest& request) {
        auto it = replies.find(request.target);
        if (it == replies.end())
            return testsupport::FakeHttpServer::NotFound();
        std::size_t n = (*counts)[request.target]++;
        return it->second[std::min(n, it->second.size() - 1)];
    };
}

// HTTPS on address:8443 by `openssl s_server -HTTP`, with its own self-signed certificate for
// that address: each path answers with the reply put there, or the bytes of a bare 404.
struct SecureFront {
    explicit SecureFront(const char* address) : url(std::string("https://") + address + ":8443") {
        const std::string command =
            "cd " + dir.path() + " && A=" + address +
            " && openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 "
            "-subj /CN=zw -addext subjectAltName=IP:$A -keyout key.pem -out cert.pem >/dev/null "
            "2>&1 && (timeout 120 openssl s_server -HTTP -accept $A:8443 -cert cert.pem -key "
            "key.pem </dev/null >out 2>&1 & echo $! >pid)";
        if (std::system(command.c_str()) == 0)
            pid = std::stoi(ReadRaw(dir.path() + "/pid"));
        for (int i = 0; i < 100 && pid > 0 && !ready; ++i, usleep(20000))
            ready = ReadRaw(dir.path() + "/out").find("ACCEPT") != std::string::npos;
        EXPECT_TRUE(ready) << command;
    }
    ~SecureFront() {
        if (pid > 0)
            ::kill(pid, SIGTERM);
    }
    bool Ready() const { return ready; }
    const std::string& Url() const { return url; }
    std::string CaFile() const { return dir.path() + "/cert.pem"; }
    void Put(const std::string& path, const testsupport::HttpReply& reply) const {
        std::filesystem::create_directories(std::filesystem::path(dir.path() + path).parent_path());
        testutil::WriteRaw(dir.path() + path, testsupport::HttpHead(reply) + reply.body);
    }

    TempDir dir;
    std::string url;
    int pid = 0;
    bool ready = false;
};

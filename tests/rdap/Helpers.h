#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "tests/support/TlsRelay.h"

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A fresh folder under /tmp, removed with everything in it at the end of the scope.
struct TempDir {
    TempDir() {
        char pattern[] = "/tmp/zw-rdap-XXXXXX";
        path = mkdtemp(pattern) ? pattern : "";
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string path;
};

// Checks that each '|'-separated part of `shown` is in the text.
inline void ExpectShown(const std::string& text, std::string_view shown, const std::string& what) {
    while (!shown.empty()) {
        std::string_view part = shown.substr(0, shown.find('|'));
        EXPECT_NE(text.find(part), std::string::npos) << what << " lacks " << part << "\n" << text;
        shown.remove_prefix(std::min(shown.size(), part.size() + 1));
    }
}

// HTTPS on address:8443 in front of the fake HTTP server on 127.0.0.2:8080, with its own
// self-signed certificate for that address.
struct SecureFront {
    explicit SecureFront(const char* address) : url(std::string("https://") + address + ":8443") {
        std::string error;
        if (testsupport::MakeTestCertificate(certs.path, std::string("IP:") + address, error))
            relay = std::make_unique<testsupport::TlsRelay>(address, 8443, "127.0.0.2", 8080,
                                                            certs.path);
        EXPECT_TRUE(Ready()) << error;
    }
    bool Ready() const { return relay && relay->Listening(); }
    const std::string& Url() const { return url; }
    std::string CaFile() const { return certs.path + "/cert.pem"; }

    TempDir certs;
    std::string url;
    std::unique_ptr<testsupport::TlsRelay> relay;
};

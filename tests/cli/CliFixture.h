#pragma once

#include "tests/cli/CliRunner.h"
#include "tests/platform/TempDir.h"
#include "tests/support/FakeServer.h"
#include "tests/support/NetSandbox.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <string>
#include <vector>

namespace clitest {

using testsupport::FakeServer;
namespace sb = testsupport::sandbox;

#define REQUIRE_SANDBOX()                                                                          \
    if (!testsupport::NetSandboxAvailable())                                                       \
    GTEST_SKIP() << testsupport::NetSandboxReason()

// A home folder of the window's files for one test: the directory, the hit phrases and the
// settings, all under the test's control, so no shipped file is ever used.
class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile("Server.wis", "");
        WriteFile("Servhit.key", "Domain Name:\r\n");
    }
    void WriteFile(const std::string& name, const std::string& bytes) {
        std::ofstream(home_.file(name), std::ios::binary) << bytes;
    }
    // zwhois --home HOME args...
    RunResult Run(std::vector<std::string> args, const RunOptions& options = {}) {
        args.insert(args.begin(), {"--home", home_.path()});
        return RunZwhois(args, options);
    }

    testutil::TempDir home_;
};

using Json = nlohmann::json;

// One JSON value read back as a script would; discarded (is_discarded()) when it is not JSON,
// which includes text that is not valid UTF-8.
inline Json ParseJson(const std::string& text) {
    return Json::parse(text, nullptr, false);
}

// A WHOIS answer with its first paragraph (never shown) and a body.
inline std::string Answer(const std::string& body) {
    return "% fake registry\r\n\r\n" + body + "\r\n";
}

} // namespace clitest

// The program may end while workers are still blocked (the window closes during a query):
// the exit must be clean, whether or not the controller was released first.
#include "tests/engine/EngineHarness.h"
#include "tests/support/BlackHole.h"
#include "tests/support/FakeServer.h"

#include <cstdlib>
#include <memory>

using namespace enginetest;
namespace sb = testsupport::sandbox;

namespace {

// Runs in the death-test child: workers blocked in connect and in a silent read, then exit.
void EndWithBlockedWorkers(bool releaseController) {
    testsupport::BlackHole hole(sb::kBlackHoleAddr, 43);
    testsupport::FakeServer silent(sb::kWhoisAAddr, 43, testsupport::FakeServer::Silence());
    auto trace = std::make_unique<TPingTrace>();
    int started = 0;
    trace->OnWhoisStart = [&](TObject*, const std::string&, const std::string&) { ++started; };
    trace->WhoisResolve(sb::kBlackHole, "a.test");
    trace->WhoisResolve(sb::kWhoisA, "b.test");
    if (!PumpUntil([&] { return started == 2 && silent.Connections() == 1; }, 5s))
        std::_Exit(3);
    if (releaseController) {
        trace.reset();
        // Releasing the controller ends its workers: the silent server sees the close.
        if (!silent.WaitFinished(1, 2s))
            std::_Exit(4);
        silent.Stop();
    }
    std::exit(0);
}

} // namespace

TEST(ProgramEnd, ExitWithWorkersBlockedIsClean) {
    REQUIRE_SANDBOX();
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(EndWithBlockedWorkers(false), ::testing::ExitedWithCode(0), "");
}

TEST(ProgramEnd, ExitAfterReleasingTheControllerIsClean) {
    REQUIRE_SANDBOX();
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(EndWithBlockedWorkers(true), ::testing::ExitedWithCode(0), "");
}

#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace clitest {

// What one run of the real zwhois gave.
struct RunResult {
    int status = -1; // exit status; -1 when a signal killed it
    int signal = 0;  // the signal that killed it, if one did
    std::string out, err;
    std::chrono::milliseconds signalToExit{-1}; // from the interrupt to the exit, if sent
};

struct RunOptions {
    std::string input;          // written to standard input, which is then closed
    bool keepInputOpen = false; // or left open until the program ends
    std::chrono::milliseconds limit{20000};
    // When set: polled while the program runs; once it holds, SIGINT is sent.
    std::function<bool()> interruptWhen;
    bool stderrTerminal = false; // standard error a terminal (a pseudo-terminal's), not a pipe
    // A command that runs zwhois (its arguments come first), e.g. to drop a capability.
    std::vector<std::string> wrapper;
};

// Runs the zwhois built beside the tests with these arguments.
RunResult RunZwhois(const std::vector<std::string>& args, const RunOptions& options = {});

// The lines of a text (LF-separated, the last one without LF kept when not empty).
std::vector<std::string> Lines(const std::string& text);

} // namespace clitest

#pragma once

// Wall time of whole processes, for the benchmarks that compare an executable with another.
#include "tests/support/NetSandbox.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace bench {

// Runs the command with standard error thrown away and standard output kept in `out` when
// given; returns the wall time in ms, or -1 when it could not run or did not exit normally.
inline double TimedRun(const std::vector<std::string>& command, std::string* out = nullptr) {
    char outName[] = "/tmp/zwbench-XXXXXX";
    const int outFd = ::mkstemp(outName);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> args = command;
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    int status = -1;
    const bool spawned =
        posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0 &&
        ::waitpid(pid, &status, 0) == pid;
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    if (out) {
        std::ifstream file(outName, std::ios::binary);
        out->assign(std::istreambuf_iterator<char>(file), {});
    }
    ::close(outFd);
    ::unlink(outName);
    return spawned && WIFEXITED(status) ? ms : -1;
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Enters the private network namespace; the pairs asked for on the command line (default
// 20), or 0 when the benchmark is skipped because there is no namespace (it says why).
inline int PairsInSandbox(int argc, char** argv) {
    std::string reason;
    if (!testsupport::EnterNetSandbox(&reason)) {
        std::printf("skipped: no private network namespace (%s)\n", reason.c_str());
        return 0;
    }
    return argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
}

} // namespace bench

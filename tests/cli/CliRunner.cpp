#include "tests/cli/CliRunner.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace clitest {

namespace {

using Clock = std::chrono::steady_clock;

void CloseBoth(int fds[2]) {
    for (int k = 0; k < 2; ++k) {
        if (fds[k] >= 0)
            ::close(fds[k]);
        fds[k] = -1;
    }
}

} // namespace

RunResult RunZwhois(const std::vector<std::string>& args, const RunOptions& options) {
    RunResult result;
    int in[2], out[2], err[2] = {-1, -1};
    if (options.stderrTerminal && (err[0] = ::posix_openpt(O_RDWR | O_NOCTTY)) >= 0 &&
        ::grantpt(err[0]) == 0 && ::unlockpt(err[0]) == 0)
        err[1] = ::open(::ptsname(err[0]), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 ||
        (err[1] < 0 && ::pipe2(err, O_CLOEXEC) != 0)) {
        result.err = std::string("pipe: ") + std::strerror(errno);
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);

    std::vector<std::string> argv0 = options.wrapper;
    argv0.push_back(ZW_CLI_EXECUTABLE);
    argv0.insert(argv0.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& arg : argv0)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    in[0] = out[1] = err[1] = -1;
    if (spawned != 0) {
        result.err = std::string("posix_spawn: ") + std::strerror(spawned);
        CloseBoth(in), CloseBoth(out), CloseBoth(err);
        return result;
    }

    // The input is small: it fits the pipe, so writing it before reading cannot block.
    if (!options.input.empty()) {
        std::signal(SIGPIPE, SIG_IGN);
        [[maybe_unused]] ssize_t wrote = ::write(in[1], options.input.data(), options.input.size());
    }
    if (!options.keepInputOpen) {
        ::close(in[1]);
        in[1] = -1;
    }

    const auto deadline = Clock::now() + options.limit;
    Clock::time_point interruptedAt{};
    bool interrupted = false, killed = false;
    int open = 2;
    while (open > 0) {
        if (!interrupted && options.interruptWhen && options.interruptWhen()) {
            ::kill(pid, SIGINT);
            interruptedAt = Clock::now();
            interrupted = true;
        }
        if (Clock::now() > deadline && !killed) {
            ::kill(pid, SIGKILL);
            killed = true;
        }
        pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
        if (::poll(fds, 2, 5) < 0 && errno != EINTR)
            break;
        for (int k = 0; k < 2; ++k) {
            if (fds[k].fd < 0 || !(fds[k].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buffer[4096];
            const ssize_t got = ::read(fds[k].fd, buffer, sizeof buffer);
            if (got > 0) {
                (k == 0 ? result.out : result.err).append(buffer, static_cast<size_t>(got));
            } else if (got == 0 || errno != EINTR) {
                ::close(fds[k].fd);
                (k == 0 ? out[0] : err[0]) = -1;
                --open;
            }
        }
    }
    int wstatus = 0;
    ::waitpid(pid, &wstatus, 0);
    if (interrupted)
        result.signalToExit =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - interruptedAt);
    if (WIFEXITED(wstatus))
        result.status = WEXITSTATUS(wstatus);
    else if (WIFSIGNALED(wstatus))
        result.signal = WTERMSIG(wstatus); // not 128 + it: that would pass for an exit at 130
    CloseBoth(in), CloseBoth(out), CloseBoth(err);
    return result;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return lines;
}

} // namespace clitest

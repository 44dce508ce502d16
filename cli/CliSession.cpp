#include "cli/CliSession.h"

#include "engine/WhoisText.h"
#include "platform/TextFile.h"
#include "platform/Thread.h"
#include "settings/AppPaths.h"
#include "settings/IniParam.h"

#include <atomic>
#include <csignal>
#include <filesystem>
#include <iostream>

namespace cli {

namespace {

// Lock-free, so the signal handler may set it.
std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

std::string ExecutableDir() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

} // namespace

void CatchInterrupts() {
    // Only a flag is set: the main loop looks at it between its waits. A worker that the
    // signal happens to interrupt retries its call, and is stopped right after anyway.
    struct sigaction action {};
    action.sa_handler = [](int) { g_interrupted.store(true); };
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

bool Interrupted() {
    return g_interrupted.load();
}

const std::atomic<bool>& InterruptFlag() {
    return g_interrupted;
}

HomeFiles FindHomeFiles(const std::string& explicitHome) {
    const settings::AppPaths paths =
        settings::ResolvePaths(ExecutableDir() + "/zindor-whois", explicitHome);
    HomeFiles files;
    files.ServerFile = paths.ReadableFile("Server.wis");
    files.HitKeyFile = paths.ReadableFile("Servhit.key");
    files.SettingsFile = paths.SettingsFile();
    files.RdapFolders = paths.RdapFolders();
    files.LookedIn = paths.SearchFolders();
    return files;
}

bool CheckWhoisFiles(const HomeFiles& files) {
    std::string where;
    for (const std::string& folder : files.LookedIn)
        where += (where.empty() ? " in " : " nor in ") + folder;
    if (files.LookedIn.empty())
        where = " (no home folder and no shipped files)";
    if (files.ServerFile.empty())
        std::cerr << "zwhois: Server.wis not found" << where << "; no server is known" << std::endl;
    if (files.HitKeyFile.empty())
        std::cerr << "zwhois: Servhit.key not found" << where
                  << "; without it no answer can be judged" << std::endl;
    return !files.HitKeyFile.empty();
}

Session::Session() {
    platform::InstallMainThread(&mainThread_);
    // The first worker's thread is made while the home folder's files are read.
    platform::Thread::Prestart();
    trace_ = std::make_unique<TPingTrace>();
}

Session::~Session() {
    // The controller ends its own workers as it goes.
    trace_.reset();
    // Workers that were ended free themselves; give them a moment so none is cut off
    // half-way through its own clean-up when the process ends. Every worker is the
    // controller's and was ended with it, so none waits for this thread any more, except for
    // a start still queued here: those run (and free the worker at once) first.
    mainThread_.ProcessEvents();
    platform::Thread::WaitNoneLive(std::chrono::milliseconds(300));
    platform::InstallMainThread(nullptr);
}

bool Session::Pump(const std::function<bool()>& done) {
    using namespace std::chrono;
    while (!done()) {
        if (Interrupted()) {
            timer_ = nullptr;
            trace_->Stop();
            return false;
        }
        milliseconds wait(10);
        if (timer_) {
            const auto now = steady_clock::now();
            if (now >= timerDue_) {
                auto fn = std::move(timer_);
                timer_ = nullptr;
                fn();
                continue;
            }
            wait = std::min(wait, duration_cast<milliseconds>(timerDue_ - now) + milliseconds(1));
        }
        mainThread_.ProcessEvents(wait);
    }
    return true;
}

void Session::RunAfter(std::chrono::milliseconds delay, std::function<void()> fn) {
    timerDue_ = std::chrono::steady_clock::now() + delay;
    timer_ = std::move(fn);
}

} // namespace cli

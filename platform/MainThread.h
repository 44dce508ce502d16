#pragma once

#include <functional>

namespace platform {

// The thread that runs every handler of the program. Workers never touch controller or
// window state themselves: they post calls here. The engine builds its "run and wait"
// hand-off on top of Post, so that a stopped worker can give up waiting.
class MainThread {
public:
    virtual ~MainThread() = default;
    // Queues fn to run later on the main thread, in posting order. Safe from any thread.
    virtual void Post(std::function<void()> fn) = 0;
    // True when called on the main thread itself.
    virtual bool IsCurrent() const = 0;
};

// The process's main thread service. The window installs the Qt one; tests and command-line
// front ends install a HeadlessMainThread. Install before any worker starts.
void InstallMainThread(MainThread* mainThread);
MainThread* CurrentMainThread();
// Uninstalls mainThread if it is the installed one (a service's destructor calls it).
void UninstallMainThread(MainThread* mainThread);

// For workers: the installed service is used under the lock that installing and uninstalling
// take, so a service being destroyed at exit cannot be reached halfway through a hand-off.
// PostToMainThread returns false when no service is installed.
bool PostToMainThread(std::function<void()> fn);
bool OnMainThread();

} // namespace platform

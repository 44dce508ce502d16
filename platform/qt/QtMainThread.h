#pragma once

#include "platform/MainThread.h"

#include <QObject>

#include <exception>
#include <functional>

namespace platform {

// The main-thread service of the windowed program: posted calls run as queued invocations
// on a QObject that lives in the thread that constructed this object (Qt's GUI thread).
// Qt delivers queued events to one receiver in posting order, which gives the order Post
// promises. Construct it on the GUI thread after the application object exists.
class QtMainThread : public MainThread {
public:
    // An exception that escapes a posted call must not unwind through Qt's event loop;
    // it is handed to this handler instead (the window shows it in a message box).
    using ErrorHandler = std::function<void(std::exception_ptr)>;

    QtMainThread();
    ~QtMainThread() override;
    QtMainThread(const QtMainThread&) = delete;
    QtMainThread& operator=(const QtMainThread&) = delete;

    void Post(std::function<void()> fn) override;
    bool IsCurrent() const override;

    // Without a handler an escaped exception is written to the Qt warning log.
    void SetErrorHandler(ErrorHandler handler);

private:
    void Run(const std::function<void()>& fn);

    QObject* receiver_;
    ErrorHandler onError_;
};

} // namespace platform

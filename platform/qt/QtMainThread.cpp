#include "platform/qt/QtMainThread.h"

#include <QMetaObject>
#include <QThread>
#include <QtGlobal>

namespace platform {

QtMainThread::QtMainThread() : receiver_(new QObject) {}

QtMainThread::~QtMainThread() {
    UninstallMainThread(this);
    // Deleting the receiver also discards calls that were posted but never ran, so none of
    // them can reach a window that is being torn down.
    delete receiver_;
}

void QtMainThread::Post(std::function<void()> fn) {
    QMetaObject::invokeMethod(
        receiver_, [this, fn = std::move(fn)] { Run(fn); }, Qt::QueuedConnection);
}

bool QtMainThread::IsCurrent() const {
    return QThread::currentThread() == receiver_->thread();
}

void QtMainThread::SetErrorHandler(ErrorHandler handler) {
    onError_ = std::move(handler);
}

void QtMainThread::Run(const std::function<void()>& fn) {
    try {
        fn();
    } catch (...) {
        if (onError_) {
            onError_(std::current_exception());
            return;
        }
        try {
            throw;
        } catch (const std::exception& e) {
            qWarning("Unhandled error in a posted call: %s", e.what());
        } catch (...) {
            qWarning("Unhandled error in a posted call");
        }
    }
}

} // namespace platform

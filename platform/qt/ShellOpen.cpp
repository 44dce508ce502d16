#include "platform/qt/ShellOpen.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

#include <utility>

namespace platform {

namespace {
std::function<void(const std::string&)>& Hook() {
    static std::function<void(const std::string&)> hook;
    return hook;
}
} // namespace

void ShellOpen(const std::string& target) {
    if (Hook()) {
        Hook()(target);
        return;
    }
    // A bare host name or path is completed the way a user would mean it.
    QDesktopServices::openUrl(QUrl::fromUserInput(QString::fromStdString(target)));
}

void SetShellOpenHook(std::function<void(const std::string&)> hook) {
    Hook() = std::move(hook);
}

} // namespace platform

#include "platform/qt/AppTitle.h"

namespace platform {

namespace {

QString& Title() {
    static QString title;
    return title;
}

} // namespace

QString ApplicationTitle() {
    return Title();
}

void SetApplicationTitle(const QString& title) {
    Title() = title;
}

} // namespace platform

#pragma once

#include <QString>

namespace platform {

// The application's title ("Zindor Whois"): the first part of the main window's caption,
// the tip of the notification icon, the caption of message boxes and of the about box.
// Kept apart from Qt's display name, which the window system would append to every
// caption a second time.
QString ApplicationTitle();
void SetApplicationTitle(const QString& title);

} // namespace platform

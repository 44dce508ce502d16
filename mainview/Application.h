#pragma once

#include <QApplication>

namespace mainview {

// The application object: an error that escapes an event handler is shown in a message box
// and the event loop goes on, as the Windows program's default error handling did.
class TZwApplication : public QApplication {
    Q_OBJECT
public:
    TZwApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// The application's title: the first part of the window caption, the tip of the
// notification icon and the caption of message boxes. Kept apart from Qt's display name,
// which the window system would append to every caption a second time.
QString ApplicationTitle();
void SetApplicationTitle(const QString& title);

} // namespace mainview

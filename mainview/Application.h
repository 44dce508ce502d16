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

// The application's title (kept by the platform layer, where the about box reads it too).
QString ApplicationTitle();
void SetApplicationTitle(const QString& title);

} // namespace mainview

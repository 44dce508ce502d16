#pragma once

#include <QApplication>
#include <QIcon>

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

// The program's own icon (scalable, with a bitmap for systems without the SVG reader).
QIcon ProgramIcon();
// Makes it the icon of every window of the program, the about box's and the tray's too.
void SetProgramIcon();

} // namespace mainview

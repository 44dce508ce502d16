#pragma once

#include <functional>

class QObject;
class QString;
class TMainForm;

namespace settings {
struct HomeStatus;
}

namespace mainview {

// What the user reads when the home folder cannot keep the files (empty when it can): the
// whole text names the folder and the reason; the short one fits the status bar.
QString HomeProblemText(const settings::HomeStatus& home);
QString HomeProblemShortText(const settings::HomeStatus& home);
// Says it once at start, on stderr and in the status bar: the window then works from the
// shipped files and keeps nothing.
void ReportHomeProblem(TMainForm& form, const settings::HomeStatus& home);

// How the window first appears. A minimised start (saved state or command line) hides the
// window to the notification area once the event loop runs; without a notification area it
// is shown minimised instead, on the task bar, so it can always be brought back.
void ShowAtStart(TMainForm& form, bool minimized, bool maximized);

// SIGTERM and SIGHUP end the program as closing its window does: the histories, the window
// placement and the settings are saved first. Call PrepareEndSignals first thing in main,
// while the program has one thread; from then on such a signal is kept until
// WatchEndSignals (once the application exists) hands it to `end` on the main thread.
// Returns false when the signals could not be set up (they then end the program at once,
// as before).
bool PrepareEndSignals();
void WatchEndSignals(QObject* context, std::function<void()> end);

// The desktop session's end. The session manager first asks the program to save its data,
// also before a logout that the user then cancels: the window saves then and the program goes
// on. Only when the session really ends does the application quit; a window hidden to the
// notification area, which that quit does not close, is closed then, so the end saves as a
// normal close does.
void WatchSessionEnd(TMainForm& form);

} // namespace mainview

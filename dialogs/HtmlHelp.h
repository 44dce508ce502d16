#pragma once

#include <QFont>
#include <QObject>

#include <functional>
#include <string>

// Opens the compiled help file in the help viewer. The viewer is an outside program, looked
// up once per run on the PATH: its "library" is the program found, its entry point the call
// that starts it. Without a viewer the component is never enabled and shows nothing.
class THtmHelp : public QObject {
    Q_OBJECT
public:
    // The viewer command that shows a topic (the only one this program uses).
    static constexpr unsigned HH_DISPLAY_TOPIC = 0;
    // The entry point: window handle, file argument ("file>window"), command, data.
    using HtmlHelpProc = std::function<void(quintptr Wnd, const std::string& File, unsigned Command,
                                            const std::string& Data)>;

    explicit THtmHelp(QObject* owner = nullptr);

    const std::string& FileName() const { return FFileName; }
    // Also decides Enabled: the file exists and a viewer was found.
    void SetFileName(const std::string& value);
    const std::string& IndexFile() const { return FIndexFile; }
    void SetIndexFile(const std::string& value) { FIndexFile = value; }
    const std::string& WindowName() const { return FWindowName; }
    void SetWindowName(const std::string& value) { FWindowName = value; }
    const QFont& Font() const { return FFont; }
    void SetFont(const QFont& value) { FFont = value; }
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value) { FEnabled = value; }

    // Shows Topic (IndexFile when empty) in the viewer; does nothing without one. It does
    // not look at Enabled: the window keeps its help command disabled instead.
    void DisplayTopic(quintptr Wnd, const std::string& Topic);

    static bool HelpLoaded();

    // Program start: looks for a viewer on the PATH (or on searchPath, a colon-separated
    // list of folders like PATH). Program end: forgets it. Without an explicit load the
    // first use loads from the PATH.
    static void LoadLibrary();
    static void LoadLibrary(const std::string& searchPath);
    static void FreeLibrary();
    // The viewer program found by the last load; empty when none.
    static std::string ViewerProgram();
    // Replaces the entry point (as if the library exported it); an empty one unloads.
    static void SetEntryPoint(HtmlHelpProc proc);

private:
    std::string FFileName;
    std::string FIndexFile;
    std::string FWindowName;
    QFont FFont;
    bool FEnabled = false;
};

namespace helpviewer {

// The viewer programs tried, in order of preference.
const char* const* Candidates();
// The first candidate that is an executable file in one of the folders of searchPath
// (colon-separated; an empty entry is the current folder). Empty when none is.
std::string FindViewer(const std::string& searchPath);
// What the viewer is started with for a file argument "file>window": the file alone.
std::string FileOfArgument(const std::string& fileArgument);

} // namespace helpviewer

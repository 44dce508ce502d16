#include "dialogs/HtmlHelp.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace {

// Shared by every instance for the whole run, like a loaded library.
struct ViewerLibrary {
    bool attempted = false;
    std::string program;
    THtmHelp::HtmlHelpProc entry;
};

ViewerLibrary& Library() {
    static ViewerLibrary library;
    return library;
}

ViewerLibrary& LoadedLibrary() {
    ViewerLibrary& library = Library();
    if (!library.attempted)
        THtmHelp::LoadLibrary();
    return library;
}

bool IsExecutableFile(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
}

} // namespace

namespace helpviewer {

const char* const* Candidates() {
    static const char* const names[] = {"xchm", "kchmviewer", "chmsee", nullptr};
    return names;
}

std::string FindViewer(const std::string& searchPath) {
    if (searchPath.empty())
        return {};
    for (const char* const* name = Candidates(); *name; ++name) {
        std::string::size_type start = 0;
        while (true) {
            const auto end = searchPath.find(':', start);
            const std::string dir =
                searchPath.substr(start, end == std::string::npos ? end : end - start);
            const std::filesystem::path folder =
                dir.empty() ? std::filesystem::path(".") : std::filesystem::path(dir);
            const std::filesystem::path candidate = folder / *name;
            if (IsExecutableFile(candidate))
                return candidate.string();
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
    }
    return {};
}

std::string FileOfArgument(const std::string& fileArgument) {
    // The window type follows the last ">"; a viewer program has no use for it.
    const auto mark = fileArgument.rfind('>');
    return mark == std::string::npos ? fileArgument : fileArgument.substr(0, mark);
}

} // namespace helpviewer

THtmHelp::THtmHelp(QObject* owner) : QObject(owner) {}

void THtmHelp::SetFileName(const std::string& value) {
    FFileName = value;
    std::error_code ec;
    FEnabled = !value.empty() && std::filesystem::is_regular_file(value, ec) && HelpLoaded();
}

void THtmHelp::DisplayTopic(quintptr Wnd, const std::string& Topic) {
    const std::string file = FFileName + ">" + FWindowName;
    const std::string& data = Topic.empty() ? FIndexFile : Topic;
    const HtmlHelpProc entry = LoadedLibrary().entry;
    if (entry)
        entry(Wnd, file, HH_DISPLAY_TOPIC, data);
}

bool THtmHelp::HelpLoaded() {
    return static_cast<bool>(LoadedLibrary().entry);
}

void THtmHelp::LoadLibrary() {
    const char* path = std::getenv("PATH");
    LoadLibrary(path ? path : "");
}

void THtmHelp::LoadLibrary(const std::string& searchPath) {
    ViewerLibrary& library = Library();
    library.attempted = true;
    library.program = helpviewer::FindViewer(searchPath);
    library.entry = nullptr;
    if (library.program.empty())
        return;
    library.entry = [program = library.program](quintptr, const std::string& file, unsigned command,
                                                const std::string&) {
        // The viewers take a file, not a topic; the program only ever asks for the file's
        // default topic. A viewer that fails to start is not reported, like a viewer error.
        if (command != HH_DISPLAY_TOPIC)
            return;
        QProcess::startDetached(QString::fromStdString(program),
                                {QString::fromStdString(helpviewer::FileOfArgument(file))});
    };
}

void THtmHelp::FreeLibrary() {
    ViewerLibrary& library = Library();
    library.program.clear();
    library.entry = nullptr;
}

std::string THtmHelp::ViewerProgram() {
    return LoadedLibrary().program;
}

void THtmHelp::SetEntryPoint(HtmlHelpProc proc) {
    ViewerLibrary& library = Library();
    library.attempted = true;
    library.entry = std::move(proc);
}

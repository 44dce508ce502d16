#pragma once

#include "dialogs/VersionRecord.h"

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <functional>
#include <optional>
#include <string>

class QDialog;

enum TScreenPosition {
    spDefault,
    spFormCenter,
    spScreenCenter,
    spTopLeft,
    spTopRight,
    spBottomLeft,
    spBottomRight
};

// The about component: reads the program's version record once, when it is created, and
// shows the about box. The window takes its caption's version from GetVersion.
class TAboutDialog : public QObject {
    Q_OBJECT
public:
    // Reads the running program's own version record.
    explicit TAboutDialog(QObject* owner = nullptr);
    // Reads the given record; std::nullopt stands for a program without one.
    TAboutDialog(QObject* owner, const std::optional<version::VersionRecord>& record);

    TScreenPosition Position() const { return FPosition; }
    void SetPosition(TScreenPosition value) { FPosition = value; }
    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& value) { FCaption = value; }
    const std::string& CompanyName() const { return FCompanyName; }
    const std::string& Copyright() const { return FCopyright; }
    const std::string& TradeMarks() const { return FTradeMarks; }
    const std::string& ProductName() const { return FProductName; }
    const std::string& Comments() const { return FComments; }
    // The window puts its own, translated comment in place of the version record's.
    void SetComments(const std::string& value) { FComments = value; }
    const std::string& HomePage() const { return FHomePage; }
    void SetHomePage(const std::string& value) { FHomePage = value; }
    const std::string& MoreWEB() const { return FMoreWEB; }
    void SetMoreWEB(const std::string& value) { FMoreWEB = value; }
    const std::string& MailAddr() const { return FMailAddr; }
    void SetMailAddr(const std::string& value) { FMailAddr = value; }

    const std::string& FileDescription() const { return FFileDescription; }
    const std::string& FileVersion() const { return FFileVersion; }
    const std::string& InternalName() const { return FInternalName; }
    const std::string& OriginalFilename() const { return FOriginalFilename; }
    const std::string& ProductVersion() const { return FProductVersion; }

    // The file version without its last dot-separated part: 1.2.3.45 gives 1.2.3.
    std::string GetVersion() const;

    // Shows the about box modally and returns when it is closed.
    void Execute();

    // Tests answer the modal box here instead of running it: the hook gets the box, ready
    // and placed, and returns its result. An empty hook restores the real modal run.
    using ModalHook = std::function<int(QDialog& box)>;
    static void SetModalHook(ModalHook hook);

private:
    void ReadVersionRecord(const std::optional<version::VersionRecord>& record);

    TScreenPosition FPosition = spDefault;
    std::string FCaption;
    std::string FCompanyName;
    std::string FCopyright;
    std::string FTradeMarks;
    std::string FProductName;
    std::string FComments;
    std::string FHomePage;
    std::string FMoreWEB;
    std::string FMailAddr;
    std::string FFileDescription;
    std::string FFileVersion;
    std::string FInternalName;
    std::string FOriginalFilename;
    std::string FProductVersion;
};

namespace about {

// The two-line version text: product name, a line feed, then "Version. 1.2.3 (Build 45)"
// for the file version 1.2.3.45.
std::string VersionText(const std::string& productName, const std::string& fileVersion);

// Where the box goes: screen is the primary screen, mainWindow the main window's frame.
QPoint Place(TScreenPosition position, const QRect& screen, const QRect& mainWindow,
             const QSize& box);

// Every backslash-n pair becomes CR LF.
std::string ExpandLineBreaks(const std::string& text);

} // namespace about

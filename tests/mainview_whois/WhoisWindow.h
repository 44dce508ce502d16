#pragma once

// What the window's WHOIS tests share: a main window on a private home folder, its actions
// and widgets by name, bounded waits, and the message boxes caught instead of shown.
#include "mainview/MainView.h"
#include "tests/support/FakeServer.h"
#include "tests/support/NetSandbox.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace whoiswin {

#define REQUIRE_SANDBOX()                                                                          \
    if (!testsupport::NetSandboxAvailable())                                                       \
    GTEST_SKIP() << testsupport::NetSandboxReason()

namespace sb = testsupport::sandbox;
using testsupport::FakeServer;

// The bytes of one of the real sample answers; empty (and the test fails) when
// the sample is missing.
std::string Sample(const char* file);
bool SamplesPresent();

// The text as the text area shows it: line breaks as LF.
QString Shown(const std::string& crlfText);

// Receives the web addresses the window asks the desktop to open (QDesktopServices).
class UrlCatcher : public QObject {
    Q_OBJECT
public slots:
    void Open(const QUrl& url) { urls << url; }

public:
    QList<QUrl> urls;
};

class WhoisWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A file of the home folder, written before the window opens.
    void WriteHome(const char* name, const std::string& bytes);
    std::string ReadHome(const char* name) const;
    std::string HomeFile(const char* name) const;

    // Opens the window on the home folder (with the shipped Servhit.key unless the test wrote
    // its own), shown unless `visible` is false.
    TMainForm& Open(bool visible = true);
    TMainForm& Form() { return *form_; }

    QAction* Action(const char* name);
    void Trigger(const char* name);
    // Fills the two boxes and runs the WHOIS action.
    void Ask(const std::string& server, const std::string& query);
    // Waits (bounded) until the window is back in its idle state with no chain running.
    bool WaitIdle(int ms = 20000);
    QString Memo() const;
    QString Panel(int index) const;
    // The first line of the text area.
    QString MemoHeader() const;

    QStringList messages_; // texts of message and error boxes, in order
    int popups_ = 0;       // popup text windows opened and closed by the default hook

private:
    std::unique_ptr<QTemporaryDir> home_;
    std::unique_ptr<TMainForm> form_;
    bool ownKeys_ = false;
};

} // namespace whoiswin

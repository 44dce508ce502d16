#include "tests/mainview_whois/WhoisWindow.h"

#include "mainview/AppPaths.h"
#include "mainview/DialogHooks.h"
#include "mainview/MessageHooks.h"
#include "mainview/ShowText.h"
#include "mainview/StatusPanels.h"

#include "directory/ui/SrvSetup.h"
#include "platform/TextFile.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QTest>

#include <filesystem>

namespace whoiswin {

namespace fs = std::filesystem;

bool SamplesPresent() {
    return fs::is_directory(ZW_SAMPLES_DIR);
}

std::string Sample(const char* file) {
    std::string bytes;
    EXPECT_TRUE(platform::ReadFileBytes((fs::path(ZW_SAMPLES_DIR) / file).string(), bytes))
        << "sample " << file;
    return bytes;
}

QString Shown(const std::string& crlfText) {
    QString text = QString::fromStdString(crlfText);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

void WhoisWindowTest::SetUp() {
    home_ = std::make_unique<QTemporaryDir>();
    ASSERT_TRUE(home_->isValid());
    mainview::SetMessageHook([this](const QString& text) { messages_ << text; });
    // A popup no test expects is counted and closed, never left waiting for a person.
    TShowForm::ModalHook = [this](TShowForm& popup) {
        ++popups_;
        popup.CloseClick();
    };
}

void WhoisWindowTest::TearDown() {
    form_.reset();
    mainview::SetMessageHook(nullptr);
    TShowForm::ModalHook = nullptr;
    TServerForm::ModalHook = nullptr;
    mainview::SetSaveFileHook(nullptr);
}

std::string WhoisWindowTest::HomeFile(const char* name) const {
    return (fs::path(home_->path().toStdString()) / name).string();
}

void WhoisWindowTest::WriteHome(const char* name, const std::string& bytes) {
    platform::WriteFileBytes(HomeFile(name), bytes);
    if (std::string(name) == "Servhit.key")
        ownKeys_ = true;
}

std::string WhoisWindowTest::ReadHome(const char* name) const {
    std::string bytes;
    platform::ReadFileBytes(HomeFile(name), bytes);
    return bytes;
}

TMainForm& WhoisWindowTest::Open(bool visible) {
    if (!ownKeys_) {
        std::string keys;
        EXPECT_TRUE(platform::ReadFileBytes(std::string(ZW_DATA_DIR) + "/Servhit.key", keys));
        platform::WriteFileBytes(HomeFile("Servhit.key"), keys);
    }
    mainview::AppPaths paths;
    paths.ExeDir = home_->path().toStdString() + "/";
    paths.ExeName = "zindor-whois";
    paths.HomeDir = paths.ExeDir;
    form_ = std::make_unique<TMainForm>(paths);
    // The settings record is global; the tests start from the same check boxes.
    form_->SweepCheck->setChecked(false);
    form_->AutoChange->setChecked(false);
    if (visible) {
        form_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
    }
    return *form_;
}

QAction* WhoisWindowTest::Action(const char* name) {
    auto* action = form_->findChild<QAction*>(QString::fromLatin1(name));
    EXPECT_NE(action, nullptr) << name;
    return action;
}

void WhoisWindowTest::Trigger(const char* name) {
    QAction* action = Action(name);
    ASSERT_NE(action, nullptr);
    ASSERT_TRUE(action->isEnabled()) << name << " is disabled";
    action->trigger();
}

void WhoisWindowTest::Ask(const std::string& server, const std::string& query) {
    form_->WhoisServer->setEditText(QString::fromStdString(server));
    form_->HostIP->setEditText(QString::fromStdString(query));
    Trigger("WhoisAction");
}

bool WhoisWindowTest::WaitIdle(int ms) {
    return QTest::qWaitFor(
        [this] { return form_->WhoisAction->isEnabled() && !form_->PingTrace->FWhoisRunning; }, ms);
}

QString WhoisWindowTest::Memo() const {
    return form_->Memo1->toPlainText();
}

QString WhoisWindowTest::MemoHeader() const {
    return Memo().section(QLatin1Char('\n'), 0, 0);
}

QString WhoisWindowTest::Panel(int index) const {
    return form_->StatusBar1->PanelText(index);
}

} // namespace whoiswin

#include "tests/mainview/FormFixture.h"

#include "mainview/MessageHooks.h"

#include "platform/TextFile.h"
#include "settings/IniParam.h"

#include <QComboBox>

void FormFixture::SetUp() {
    ASSERT_TRUE(dir_.isValid());
    const std::string home = dir_.path().toStdString() + "/";
    paths_ = mainview::AppPaths{home, "zindor-whois", home};
    mainview::SetMessageHook([this](const QString& text) { messages_ << text; });
}

void FormFixture::TearDown() {
    form_.reset();
    InitParam.FFileName.clear();
    mainview::SetMessageHook({});
}

TMainForm& FormFixture::Start() {
    form_ = std::make_unique<TMainForm>(paths_);
    return *form_;
}

void FormFixture::Shutdown() {
    form_->close();
    form_.reset();
    InitParam.Save();
}

TMainForm& FormFixture::Restart() {
    Shutdown();
    return Start();
}

void FormFixture::WriteFile(const std::string& name, const std::string& bytes) const {
    platform::WriteFileBytes(paths_.HomeDir + name, bytes);
}

std::string FormFixture::ReadFile(const std::string& name) const {
    std::string bytes;
    EXPECT_TRUE(platform::ReadFileBytes(paths_.HomeDir + name, bytes)) << name;
    return bytes;
}

bool FormFixture::Exists(const std::string& name) const {
    return platform::FileExists(paths_.HomeDir + name);
}

std::vector<std::string> FormFixture::SettingsLines() const {
    std::vector<std::string> lines;
    EXPECT_TRUE(platform::ReadTextLines(paths_.SettingsFile(), lines));
    return lines;
}

QStringList FormFixture::Items(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

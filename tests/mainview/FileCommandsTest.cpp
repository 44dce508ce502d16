// Saving the text area and the host list, and the memo font, through hooked dialogs.
#include "tests/mainview/FormFixture.h"

#include "mainview/DialogHooks.h"

#include <QDir>
#include <QPlainTextEdit>
#include <QTreeWidget>

namespace {

class FileCommandsTest : public FormFixture {
protected:
    void TearDown() override {
        mainview::SetSaveFileHook({});
        mainview::SetFontHook({});
        FormFixture::TearDown();
    }
    void AnswerSave(std::optional<std::string> name) {
        mainview::SetSaveFileHook([this, name](const mainview::SaveDialogSpec& spec) {
            title_ = spec.Title;
            return name ? std::optional<QString>(QString::fromStdString(paths_.HomeDir + *name))
                        : std::nullopt;
        });
    }
    QString title_;
};

} // namespace

TEST_F(FileCommandsTest, SaveListWritesRowsAsCommaText) {
    TMainForm& f = Start();
    auto* ping = new QTreeWidgetItem(f.HostView, {"2", "15", "192.0.2.7", "t.example"});
    auto* check = new QTreeWidgetItem(f.HostView, {"0", "12", "192.0.2.1", "a.example (alive)"});
    auto* hop = new QTreeWidgetItem(f.HostView, {"4", "...", "- NoResponse -", "(Timeout)"});
    // The owner column stays out of the saved rows.
    new QTreeWidgetItem(f.HostView, {"5", "3", "198.18.0.2", "....", "AS64500 NET"});
    (void)ping;
    (void)check;
    (void)hop;
    AnswerSave("list.txt");
    f.SaveList->trigger();
    EXPECT_EQ(title_, QStringLiteral("ファイルへ保存します"));
    EXPECT_EQ(ReadFile("list.txt"), "#2,15,192.0.2.7,t.example\r\n"
                                    "#0,12,192.0.2.1,\"a.example (alive)\"\r\n"
                                    "#4,...,\"- NoResponse -\",(Timeout)\r\n"
                                    "#5,3,198.18.0.2,....\r\n");
}

TEST_F(FileCommandsTest, SavingEmptyListWritesEmptyFileAndCancelWritesNothing) {
    TMainForm& f = Start();
    AnswerSave("empty.txt");
    f.SaveListExecute();
    EXPECT_EQ(ReadFile("empty.txt"), "");
    AnswerSave(std::nullopt);
    f.SaveWhoisExecute();
    EXPECT_EQ(QDir(dir_.path()).entryList({"*.txt"}), QStringList{"empty.txt"});
}

TEST_F(FileCommandsTest, SaveWhoisWritesTextAreaLines) {
    TMainForm& f = Start();
    f.Memo1->setPlainText(QStringLiteral("whois -h a b\n\nドメイン名 example.jp"));
    AnswerSave("memo.txt");
    f.SaveWhois->trigger();
    EXPECT_EQ(ReadFile("memo.txt"), "whois -h a b\r\n\r\nドメイン名 example.jp\r\n");
}

TEST_F(FileCommandsTest, UnwritableFileIsReportedByName) {
    TMainForm& f = Start();
    f.Memo1->setPlainText(QStringLiteral("x"));
    AnswerSave("missing-folder/memo.txt");
    f.SaveWhois->trigger();
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_TRUE(messages_.front().contains(QStringLiteral("missing-folder/memo.txt")));
    EXPECT_TRUE(messages_.front().contains(QStringLiteral("を作成できません")));
}

TEST_F(FileCommandsTest, FontDialogChangesMemoFontOnlyWhenConfirmed) {
    TMainForm& f = Start();
    const QFont before = f.Memo1->font();
    mainview::SetFontHook([](const QFont&) { return std::nullopt; });
    f.FontSetAction->trigger();
    EXPECT_EQ(f.Memo1->font(), before);
    QFont chosen = before;
    chosen.setPointSize(before.pointSize() + 5);
    mainview::SetFontHook([chosen](const QFont& current) {
        EXPECT_EQ(current.pointSize(), chosen.pointSize() - 5);
        return std::optional<QFont>(chosen);
    });
    f.FontSetAction->trigger();
    EXPECT_EQ(f.Memo1->font().pointSize(), chosen.pointSize());
}

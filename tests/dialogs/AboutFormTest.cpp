#include "dialogs/AboutForm.h"
#include "controls/BevLabel.h"
#include "dialogs/AboutBox.h"
#include "platform/qt/ShellOpen.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

version::VersionRecord FullRecord() {
    version::VersionRecord record;
    record.translations.push_back({0x0411, 0xfde9});
    const std::string prefix = version::StringFilePrefix(record.translations.front());
    record.strings[prefix + "FileDescription"] = "Zindor Whois for Linux";
    record.strings[prefix + "FileVersion"] = "1.2.3.45";
    record.strings[prefix + "ProductName"] = "Zindor Whois";
    record.strings[prefix + "LegalCopyright"] = "(C) 2026 us";
    record.strings[prefix + "Comments"] = "line one\\nline two";
    return record;
}

// Runs Execute with a hook that inspects the box instead of running it modally.
class AboutFormTest : public ::testing::Test {
protected:
    void TearDown() override {
        TAboutDialog::SetModalHook(nullptr);
        platform::SetShellOpenHook(nullptr);
    }
    void Show(TAboutDialog& about, const std::function<void(TAboutForm&)>& look) {
        TAboutDialog::SetModalHook([&](QDialog& dialog) {
            auto* form = qobject_cast<TAboutForm*>(&dialog);
            EXPECT_NE(form, nullptr);
            if (form) {
                seen = form;
                look(*form);
            }
            return int(QDialog::Accepted);
        });
        about.Execute();
    }

    QPointer<TAboutForm> seen;
};

TEST_F(AboutFormTest, TheBoxShowsTheRecordsTexts) {
    TAboutDialog about(nullptr, FullRecord());
    about.SetCaption("Zindor Whois");
    Show(about, [](TAboutForm& box) {
        EXPECT_EQ(box.windowTitle(), QStringLiteral("Zindor Whois の情報"));
        EXPECT_EQ(box.ProductName->text(), QStringLiteral("Zindor Whois for Linux"));
        EXPECT_EQ(box.Version->text(), QStringLiteral("Zindor Whois\nVersion. 1.2.3 (Build 45)"));
        EXPECT_EQ(box.Copyright->text(), QStringLiteral("(C) 2026 us"));
        EXPECT_EQ(box.Comments->text(), QStringLiteral("line one\r\nline two"));
        EXPECT_TRUE(box.Comments->wordWrap());
        EXPECT_EQ(box.Comments->BevelOuter(), bvLowered);
        EXPECT_EQ(box.Comments->BevelInner(), bvNone);
        EXPECT_EQ(box.Comments->TextBorder(), 4);
        EXPECT_EQ(box.size(), QSize(312, 207));
        EXPECT_TRUE(box.OKButton->isDefault());
        EXPECT_EQ(box.OKButton->geometry(), QRect(227, 177, 75, 25));
        EXPECT_EQ(box.Panel1->geometry(), QRect(8, 5, 294, 167));
    });
    // The box lived for that one showing only.
    EXPECT_TRUE(seen.isNull());
}

TEST_F(AboutFormTest, WithoutTextsTheVersionLineKeepsOnlyItsFrame) {
    TAboutDialog about(nullptr, std::nullopt);
    Show(about, [](TAboutForm& box) {
        EXPECT_EQ(box.Version->text(), QStringLiteral("\nVersion (Build  )"));
        EXPECT_EQ(box.ProductName->text(), QString());
        EXPECT_EQ(box.Copyright->text(), QString());
    });
}

TEST_F(AboutFormTest, EmptyAddressesHideBothButtons) {
    TAboutDialog about(nullptr, FullRecord());
    Show(about, [](TAboutForm& box) {
        EXPECT_TRUE(box.MailTo->isHidden());
        EXPECT_TRUE(box.OpenWeb->isHidden());
    });
}

TEST_F(AboutFormTest, TheButtonsOpenTheMailAddressAndTheHomePage) {
    std::vector<std::string> opened;
    platform::SetShellOpenHook([&](const std::string& target) { opened.push_back(target); });
    TAboutDialog about(nullptr, FullRecord());
    about.SetMailAddr("author@example.org");
    about.SetHomePage("https://example.org/zw/");
    Show(about, [](TAboutForm& box) {
        EXPECT_FALSE(box.MailTo->isHidden());
        EXPECT_FALSE(box.OpenWeb->isHidden());
        EXPECT_EQ(box.MailTo->toolTip(), QStringLiteral("author@example.org"));
        EXPECT_EQ(box.OpenWeb->toolTip(), QStringLiteral("https://example.org/zw/"));
        EXPECT_EQ(box.MailTo->text(), QStringLiteral("ﾒｰﾙ送信"));
        EXPECT_EQ(box.OpenWeb->text(), QStringLiteral("作者HPを開く"));
        box.show();
        QTest::mouseClick(box.MailTo, Qt::LeftButton);
        QTest::mouseClick(box.OpenWeb, Qt::LeftButton);
    });
    EXPECT_EQ(opened,
              (std::vector<std::string>{"mailto:author@example.org", "https://example.org/zw/"}));
}

TEST_F(AboutFormTest, OnlyTheMailButtonWhenThereIsNoHomePage) {
    TAboutDialog about(nullptr, FullRecord());
    about.SetMailAddr("a@b");
    Show(about, [](TAboutForm& box) {
        EXPECT_FALSE(box.MailTo->isHidden());
        EXPECT_TRUE(box.OpenWeb->isHidden());
    });
}

TEST_F(AboutFormTest, TheBottomLabelsStackUpFromThePanelsEdge) {
    TAboutDialog about(nullptr, FullRecord());
    Show(about, [](TAboutForm& box) {
        const QRect comments = box.Comments->geometry();
        const QRect notice = box.Label1->geometry();
        const QRect copyright = box.Copyright->geometry();
        EXPECT_EQ(comments.height(), 60);
        EXPECT_EQ(notice.height(), 18);
        EXPECT_EQ(comments.bottom(), box.Panel1->height() - 11 - 1);
        EXPECT_EQ(notice.bottom() + 1, comments.top());
        EXPECT_EQ(copyright.bottom() + 1, notice.top());
        EXPECT_GT(copyright.height(), 0);
        EXPECT_EQ(comments.width(), box.Panel1->width() - 22);
        EXPECT_FALSE(box.Label1->text().isEmpty());
    });
}

TEST_F(AboutFormTest, TopRightPutsTheBoxTwoPixelsFromTheRightEdge) {
    TAboutDialog about(nullptr, FullRecord());
    about.SetPosition(spTopRight);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    Show(about, [&](TAboutForm& box) {
        EXPECT_EQ(box.pos(), QPoint(screen.width() - box.frameGeometry().width() - 2, 0));
    });
    about.SetPosition(spBottomLeft);
    Show(about, [&](TAboutForm& box) {
        EXPECT_EQ(box.pos(), QPoint(0, screen.height() - box.frameGeometry().height() - 2));
    });
}

TEST_F(AboutFormTest, OkClosesTheBoxWithTheResultOk) {
    TAboutForm box;
    box.show();
    QTest::mouseClick(box.OKButton, Qt::LeftButton);
    EXPECT_EQ(box.result(), QDialog::Accepted);
    EXPECT_FALSE(box.isVisible());
}

} // namespace

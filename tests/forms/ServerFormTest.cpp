#include "ServerFormDriver.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>

namespace {

const std::vector<std::string> kLines = {
    "whois.a.example,+,*,",
    "whois.b.example,*,jp,co.jp",
    "whois.c.example,-,net,com",
    "whois.d.example,jp",
};

} // namespace

TEST_F(ServerFormTest, CaptionsColumnsAndInitialState) {
    std::vector<std::string> lines = kLines;
    Edit(lines, [](TServerForm& form) {
        EXPECT_EQ(form.windowTitle().toStdString(), "Whois Server List");
        const Qt::WindowFlags flags = form.windowFlags();
        EXPECT_TRUE(flags & Qt::CustomizeWindowHint);
        EXPECT_FALSE(flags & Qt::WindowCloseButtonHint);
        EXPECT_FALSE(flags & Qt::WindowSystemMenuHint);
        EXPECT_FALSE(flags & Qt::WindowMinMaxButtonsHint);

        QTreeWidget* list = List(form);
        ASSERT_EQ(list->columnCount(), 3);
        QTreeWidgetItem* header = list->headerItem();
        EXPECT_EQ(header->text(0).toStdString(), "Whoisサーバー");
        EXPECT_EQ(header->text(1).toStdString(), "<IP>");
        EXPECT_EQ(header->text(2).toStdString(), "対象ドメイン");
        EXPECT_EQ(list->columnWidth(0), 120);
        EXPECT_EQ(list->columnWidth(1), 40);
        EXPECT_FALSE(list->header()->sectionsClickable());
        EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
        EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);

        EXPECT_EQ(Find<QLabel>(form, "Label1")->text().toStdString(), "サーバー名");
        EXPECT_EQ(Find<QLabel>(form, "Label2")->text().toStdString(), "対象ドメイン");
        EXPECT_EQ(Find<QGroupBox>(form, "IPWhois")->title().toStdString(), "<IP>アドレスの検索");
        EXPECT_EQ(Find<QRadioButton>(form, "IPWhois0")->text().toStdString(), "検索する");
        EXPECT_EQ(Find<QRadioButton>(form, "IPWhois1")->text().toStdString(), "検索しない");
        const std::pair<const char*, const char*> captions[] = {{"AddBtn", "追加"},
                                                                {"ReplaceBtn", "置換"},
                                                                {"DeleteBtn", "削除"},
                                                                {"UpdateBtn", "更新"},
                                                                {"CancelBtn", "取消し"}};
        for (const auto& [name, caption] : captions)
            EXPECT_EQ(Find<QPushButton>(form, name)->text().toStdString(), caption) << name;

        for (const char* name : {"AddBtn", "ReplaceBtn", "DeleteBtn", "UpBtn", "DownBtn"})
            EXPECT_FALSE(Enabled(form, name)) << name;
        EXPECT_TRUE(Enabled(form, "UpdateBtn"));
        EXPECT_TRUE(Enabled(form, "CancelBtn"));
        EXPECT_EQ(IPIndex(form), -1);
        EXPECT_EQ(SelectedRow(form), -1);
        EXPECT_EQ(EditText(form, "ServerName"), "");
        EXPECT_EQ(EditText(form, "DomainList"), "");
    });
}

TEST_F(ServerFormTest, TabOrderFollowsTheEdits) {
    std::vector<std::string> lines = kLines;
    Edit(lines, [](TServerForm& form) {
        const char* order[] = {"ServerName", "DomainList", "AddBtn",   "ReplaceBtn", "DeleteBtn",
                               "UpdateBtn",  "CancelBtn",  "ListView", "IPWhois0"};
        QWidget* widget = Find<QWidget>(form, order[0]);
        for (size_t i = 1; i < std::size(order); ++i) {
            // Skip widgets the tab key never stops at (the arrow speed buttons, the form).
            do {
                widget = widget->nextInFocusChain();
            } while (!(widget->focusPolicy() & Qt::TabFocus));
            EXPECT_EQ(widget->objectName().toStdString(), order[i]) << "after " << order[i - 1];
        }
        EXPECT_FALSE(Find<QWidget>(form, "UpBtn")->focusPolicy() & Qt::TabFocus);
        EXPECT_FALSE(Find<QWidget>(form, "DownBtn")->focusPolicy() & Qt::TabFocus);
    });
}

TEST_F(ServerFormTest, RowsShowFlagsAndSortedDomains) {
    std::vector<std::string> lines = kLines;
    lines.push_back("whois.e.example,*+,jp");
    lines.push_back("whois.f.example,+-,jp");
    lines.push_back("whois.g.example");
    lines.push_back("whois.h.example,*-"); // not a leading part of "*+-": a domain
    Edit(lines, [](TServerForm& form) {
        ASSERT_EQ(List(form)->topLevelItemCount(), 8);
        EXPECT_EQ(Row(form, 0), "whois.a.example|+|*");
        EXPECT_EQ(Row(form, 1), "whois.b.example||*");
        EXPECT_EQ(Row(form, 2), "whois.c.example|-|com,net");
        EXPECT_EQ(Row(form, 3), "whois.d.example||jp");
        EXPECT_EQ(Row(form, 4), "whois.e.example||*");
        EXPECT_EQ(Row(form, 5), "whois.f.example|+|jp");
        EXPECT_EQ(Row(form, 6), "whois.g.example||");
        EXPECT_EQ(Row(form, 7), "whois.h.example||*-");
    });
}

TEST_F(ServerFormTest, SelectingARowLoadsTheEditsAndArrows) {
    std::vector<std::string> lines = kLines;
    Edit(lines, [](TServerForm& form) {
        ClickRow(form, 0);
        EXPECT_EQ(SelectedRow(form), 0);
        EXPECT_EQ(EditText(form, "ServerName"), "whois.a.example");
        EXPECT_EQ(EditText(form, "DomainList"), "*");
        EXPECT_EQ(IPIndex(form), 0);
        EXPECT_FALSE(Enabled(form, "UpBtn"));
        EXPECT_TRUE(Enabled(form, "DownBtn"));
        EXPECT_TRUE(Enabled(form, "ReplaceBtn"));
        EXPECT_TRUE(Enabled(form, "DeleteBtn"));
        EXPECT_TRUE(Enabled(form, "AddBtn")); // the server name is filled in

        ClickRow(form, 2);
        EXPECT_EQ(EditText(form, "ServerName"), "whois.c.example");
        EXPECT_EQ(EditText(form, "DomainList"), "com,net");
        EXPECT_EQ(IPIndex(form), 1);
        EXPECT_TRUE(Enabled(form, "UpBtn"));
        EXPECT_TRUE(Enabled(form, "DownBtn"));

        // A row without a flag clears the radio group chosen by the previous row.
        ClickRow(form, 3);
        EXPECT_EQ(IPIndex(form), -1);
        EXPECT_EQ(EditText(form, "DomainList"), "jp");
        EXPECT_TRUE(Enabled(form, "UpBtn"));
        EXPECT_FALSE(Enabled(form, "DownBtn"));
    });
}

TEST_F(ServerFormTest, UnselectingEmptiesTheEditsAndDisablesRowButtons) {
    std::vector<std::string> lines = kLines;
    Edit(lines, [](TServerForm& form) {
        ClickRow(form, 2);
        ASSERT_EQ(SelectedRow(form), 2);
        // A click below the last row takes the selection away.
        QTreeWidget* list = List(form);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          QPoint(5, list->viewport()->height() - 3));
        EXPECT_EQ(SelectedRow(form), -1);
        EXPECT_EQ(EditText(form, "ServerName"), "");
        EXPECT_EQ(EditText(form, "DomainList"), "");
        EXPECT_EQ(IPIndex(form), -1);
        for (const char* name : {"AddBtn", "ReplaceBtn", "DeleteBtn", "UpBtn", "DownBtn"})
            EXPECT_FALSE(Enabled(form, name)) << name;
    });
}

TEST_F(ServerFormTest, AddFollowsTheServerNameText) {
    std::vector<std::string> lines;
    Edit(lines, [](TServerForm& form) {
        EXPECT_FALSE(Enabled(form, "AddBtn"));
        Type(form, "ServerName", "x");
        EXPECT_TRUE(Enabled(form, "AddBtn"));
        Type(form, "ServerName", "");
        EXPECT_FALSE(Enabled(form, "AddBtn"));
        // Blanks only are a name as far as the button is concerned.
        Type(form, "ServerName", " ");
        EXPECT_TRUE(Enabled(form, "AddBtn"));
    });
}

// No server's name is cut: the first column grows to the longest, and only past its designed
// width.
TEST_F(ServerFormTest, ServerColumnHoldsTheLongestName) {
    const std::string longName = "whois.registry-with-a-long-name.example";
    const std::pair<std::vector<std::string>, bool> rows[] = {
        {kLines, false}, {{"whois.a.example,-,a", longName + ",-,b"}, true}};
    for (const auto& [start, wider] : rows) {
        std::vector<std::string> lines = start;
        Edit(lines, [&, wider = wider](TServerForm& form) {
            QTreeWidget* list = List(form);
            const int needed =
                list->fontMetrics().horizontalAdvance(QString::fromStdString(longName));
            EXPECT_EQ(list->columnWidth(0) > 120, wider);
            if (wider) {
                EXPECT_GE(list->columnWidth(0), needed);
            }
        });
    }
}

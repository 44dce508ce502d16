#include "ServerFormDriver.h"

#include "directory/ServerDir.h"

#include <QTemporaryDir>

namespace {

const std::vector<std::string> kLines = {
    "whois.a.example,+,*,",
    "whois.b.example,*,jp,co.jp",
    "whois.c.example,-,net,com",
    "whois.d.example,jp",
};

} // namespace

TEST_F(ServerFormTest, AddAppendsTheTypedLineAndSelectsItsRow) {
    std::vector<std::string> lines = kLines;
    const bool ok = Edit(lines, [](TServerForm& form) {
        Type(form, "ServerName", "whois.new.example");
        Type(form, "DomainList", "net, COM");
        Click(form, "IPWhois0");
        Click(form, "AddBtn");
        EXPECT_EQ(SelectedRow(form), 4);
        EXPECT_EQ(Row(form, 4), "whois.new.example|+|COM,net");
        // The edits now show the row's normal form.
        EXPECT_EQ(EditText(form, "DomainList"), "COM,net");
        EXPECT_EQ(IPIndex(form), 0);
        EXPECT_FALSE(Enabled(form, "DownBtn"));
        EXPECT_TRUE(Enabled(form, "UpBtn"));
        Click(form, "UpdateBtn");
    });
    EXPECT_TRUE(ok);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[4], "whois.new.example,+,net, COM"); // exactly as typed
}

TEST_F(ServerFormTest, AddAcceptsBlankNamesDuplicatesAndEmptyDomains) {
    std::vector<std::string> lines = {"dup.example,jp"};
    Edit(lines, [](TServerForm& form) {
        Type(form, "ServerName", "dup.example");
        Click(form, "AddBtn");
        Type(form, "ServerName", "  ");
        Click(form, "IPWhois1");
        Click(form, "AddBtn");
        Click(form, "UpdateBtn");
    });
    EXPECT_EQ(lines, (std::vector<std::string>{"dup.example,jp", "dup.example,", "  ,-,"}));
}

TEST_F(ServerFormTest, AddWithEmptyNameDoesNothing) {
    std::vector<std::string> lines = kLines;
    Edit(lines, [](TServerForm& form) {
        Type(form, "DomainList", "jp");
        form.AddBtnClick(); // the button is disabled; the handler refuses as well
        EXPECT_EQ(List(form)->topLevelItemCount(), 4);
        Click(form, "UpdateBtn");
    });
    EXPECT_EQ(lines, kLines);
}

TEST_F(ServerFormTest, ReplaceWithoutChangesWritesTheRowsNormalForm) {
    std::vector<std::string> lines = kLines;
    Edit(lines, [](TServerForm& form) {
        for (int row : {0, 1, 2, 3}) {
            ClickRow(form, row);
            Click(form, "ReplaceBtn");
            EXPECT_EQ(SelectedRow(form), row);
        }
        Click(form, "UpdateBtn");
    });
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "whois.a.example,+,*",
                         "whois.b.example,*", // the hidden domains are dropped
                         "whois.c.example,-,com,net",
                         "whois.d.example,jp", // no flag field without a choice
                     }));
}

TEST_F(ServerFormTest, ReplaceWritesTheEditsAsTheyAre) {
    std::vector<std::string> lines = kLines;
    Edit(lines, [](TServerForm& form) {
        ClickRow(form, 3);
        Type(form, "DomainList", "kr,jp");
        Click(form, "IPWhois1");
        Click(form, "ReplaceBtn");
        EXPECT_EQ(Row(form, 3), "whois.d.example|-|jp,kr");
        // The edits keep what was typed; only the row is redrawn.
        EXPECT_EQ(EditText(form, "DomainList"), "kr,jp");
        EXPECT_EQ(SelectedRow(form), 3);

        ClickRow(form, 1);
        Type(form, "ServerName", "");
        Click(form, "ReplaceBtn");
        EXPECT_EQ(Row(form, 1), "||*");
        Click(form, "UpdateBtn");
    });
    EXPECT_EQ(lines[3], "whois.d.example,-,kr,jp");
    EXPECT_EQ(lines[1], ",*"); // an empty name is written too
}

TEST_F(ServerFormTest, ChangingTheEditsAloneChangesNothing) {
    std::vector<std::string> lines = kLines;
    Edit(lines, [](TServerForm& form) {
        ClickRow(form, 2);
        Type(form, "ServerName", "other.example");
        Click(form, "IPWhois0");
        // Choosing another row reloads the edits from it.
        ClickRow(form, 0);
        EXPECT_EQ(EditText(form, "ServerName"), "whois.a.example");
        Click(form, "UpdateBtn");
    });
    EXPECT_EQ(lines, kLines);
}

TEST_F(ServerFormTest, DeleteRemovesTheLineAndLeavesNoSelection) {
    std::vector<std::string> lines = kLines;
    Edit(lines, [](TServerForm& form) {
        ClickRow(form, 1);
        Click(form, "DeleteBtn");
        EXPECT_EQ(SelectedRow(form), -1);
        EXPECT_EQ(List(form)->topLevelItemCount(), 3);
        EXPECT_EQ(EditText(form, "ServerName"), "");
        EXPECT_EQ(IPIndex(form), -1);
        for (const char* name : {"ReplaceBtn", "DeleteBtn", "UpBtn", "DownBtn"})
            EXPECT_FALSE(Enabled(form, name)) << name;
        // Without a selection the handlers themselves do nothing.
        form.DeleteBtnClick();
        form.ReplaceBtnClick();
        form.UpBtnClick();
        form.DownBtnClick();
        EXPECT_EQ(List(form)->topLevelItemCount(), 3);
        Click(form, "UpdateBtn");
    });
    EXPECT_EQ(lines, (std::vector<std::string>{kLines[0], kLines[2], kLines[3]}));
}

TEST_F(ServerFormTest, MovingUpTwiceFromTheThirdRowReachesTheTop) {
    std::vector<std::string> lines = kLines;
    Edit(lines, [](TServerForm& form) {
        ClickRow(form, 2);
        Click(form, "UpBtn");
        EXPECT_EQ(SelectedRow(form), 1);
        EXPECT_EQ(EditText(form, "ServerName"), "whois.c.example");
        EXPECT_TRUE(Enabled(form, "UpBtn"));
        Click(form, "UpBtn");
        EXPECT_EQ(SelectedRow(form), 0);
        EXPECT_FALSE(Enabled(form, "UpBtn"));
        EXPECT_TRUE(Enabled(form, "DownBtn"));
        EXPECT_EQ(Captions(form), (std::vector<std::string>{"whois.c.example", "whois.a.example",
                                                            "whois.b.example", "whois.d.example"}));
        // The handler cannot move the first row past the top either.
        form.UpBtnClick();
        EXPECT_EQ(SelectedRow(form), 0);
        Click(form, "UpdateBtn");
    });
    EXPECT_EQ(lines, (std::vector<std::string>{kLines[2], kLines[0], kLines[1], kLines[3]}));
}

TEST_F(ServerFormTest, TheLastRowCannotMoveDown) {
    std::vector<std::string> lines = kLines;
    Edit(lines, [](TServerForm& form) {
        ClickRow(form, 2);
        Click(form, "DownBtn");
        EXPECT_EQ(SelectedRow(form), 3);
        EXPECT_EQ(EditText(form, "ServerName"), "whois.c.example");
        EXPECT_FALSE(Enabled(form, "DownBtn"));
        Click(form, "DownBtn");
        form.DownBtnClick();
        EXPECT_EQ(SelectedRow(form), 3);
        EXPECT_EQ(Row(form, 3), "whois.c.example|-|com,net");
        Click(form, "UpdateBtn");
    });
    EXPECT_EQ(lines, (std::vector<std::string>{kLines[0], kLines[1], kLines[3], kLines[2]}));
}

TEST_F(ServerFormTest, SwapLinesIgnoresIndexesOutsideTheList) {
    std::vector<std::string> lines = kLines;
    Edit(lines, [](TServerForm& form) {
        form.SwapLines(-1, 0);
        form.SwapLines(3, 4);
        form.SwapLines(1, 1);
        EXPECT_EQ(form.Lines(), kLines);
        Click(form, "UpdateBtn");
    });
    EXPECT_EQ(lines, kLines);
}

TEST_F(ServerFormTest, CancelAfterChangesLeavesTheLinesAlone) {
    std::vector<std::string> lines = kLines;
    const bool ok = Edit(lines, [](TServerForm& form) {
        ClickRow(form, 0);
        Click(form, "DeleteBtn");
        Type(form, "ServerName", "x.example");
        Click(form, "AddBtn");
        Click(form, "DownBtn"); // disabled on the last row
        ClickRow(form, 1);
        Click(form, "UpBtn");
        EXPECT_NE(form.Lines(), kLines);
        Click(form, "CancelBtn");
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(lines, kLines);
}

TEST_F(ServerFormTest, UpdateWithoutChangesHandsTheSameLinesBack) {
    std::vector<std::string> lines = kLines;
    lines.push_back("odd line, with \"quotes\" and  blanks ,,");
    const std::vector<std::string> before = lines;
    const bool ok = Edit(lines, [](TServerForm& form) { Click(form, "UpdateBtn"); });
    EXPECT_TRUE(ok);
    EXPECT_EQ(lines, before); // lines are kept byte for byte, not rewritten
}

TEST_F(ServerFormTest, ClosingWithoutAButtonCountsAsCancel) {
    std::vector<std::string> lines = kLines;
    const bool ok = Edit(lines, [](TServerForm& form) {
        ClickRow(form, 0);
        Click(form, "DeleteBtn");
        QTest::keyClick(&form, Qt::Key_Escape);
        EXPECT_FALSE(form.isVisible());
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(lines, kLines);
}

TEST_F(ServerFormTest, ServerFileRoundTripsThroughTheEditor) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.filePath("Server.wis").toStdString();
    const std::vector<std::string> original = {"whois.jprs.jp,-,jp", "whois.iana.org,*",
                                               "whois.nic.ad.jp,+,ad.jp"};
    SaveServerFile(path, original);

    std::vector<std::string> lines;
    LoadServerFile(path, lines);
    ASSERT_EQ(lines, original);
    ASSERT_TRUE(Edit(lines, [](TServerForm& form) {
        ClickRow(form, 1);
        Click(form, "UpBtn");
        Type(form, "ServerName", "whois.verisign-grs.com");
        Type(form, "DomainList", "net,com");
        Click(form, "IPWhois1");
        Click(form, "AddBtn");
        Click(form, "UpdateBtn");
    }));
    SaveServerFile(path, lines);

    std::vector<std::string> reloaded;
    LoadServerFile(path, reloaded);
    EXPECT_EQ(reloaded, (std::vector<std::string>{"whois.iana.org,*", "whois.jprs.jp,-,jp",
                                                  "whois.nic.ad.jp,+,ad.jp",
                                                  "whois.verisign-grs.com,-,net,com"}));

    // Cancelled edits never reach the file.
    std::vector<std::string> again = reloaded;
    EXPECT_FALSE(Edit(again, [](TServerForm& form) {
        ClickRow(form, 0);
        Click(form, "DeleteBtn");
        Click(form, "CancelBtn");
    }));
    EXPECT_EQ(again, reloaded);
}

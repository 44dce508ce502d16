#include "dialogs/AboutBox.h"
#include "platform/qt/AppTitle.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

#include <string>

namespace {

version::VersionRecord Record(std::uint16_t language, std::uint16_t codePage,
                              std::initializer_list<std::pair<const char*, const char*>> texts) {
    version::VersionRecord record;
    record.translations.push_back({language, codePage});
    const std::string prefix = version::StringFilePrefix(record.translations.front());
    for (const auto& [key, text] : texts)
        record.strings[prefix + key] = text;
    return record;
}

TEST(VersionRecord, ThePrefixSpellsLanguageAndCodePageInUpperCaseHex) {
    EXPECT_EQ(version::StringFilePrefix({0x041a, 0x04e4}), "\\StringFileInfo\\041A04E4\\");
    EXPECT_EQ(version::StringFilePrefix({0x0411, 0x03a4}), "\\StringFileInfo\\041103A4\\");
}

TEST(AboutDialog, ReadsTheTenTextsUnderTheFirstTranslation) {
    version::VersionRecord record = Record(0x0409, 0x04b0,
                                           {{"CompanyName", "Co"},
                                            {"FileDescription", "Desc"},
                                            {"FileVersion", "1.2.3.45"},
                                            {"InternalName", "int"},
                                            {"LegalCopyright", "(C) me"},
                                            {"LegalTradeMarks", "TM"},
                                            {"OriginalFilename", "orig"},
                                            {"ProductName", "Prod"},
                                            {"ProductVersion", "9.9"},
                                            {"Comments", "note"}});
    // Texts under a second translation are never looked at.
    record.translations.push_back({0x0411, 0x03a4});
    record.strings["\\StringFileInfo\\041103A4\\Comments"] = "other";

    TAboutDialog about(nullptr, record);
    EXPECT_EQ(about.CompanyName(), "Co");
    EXPECT_EQ(about.FileDescription(), "Desc");
    EXPECT_EQ(about.FileVersion(), "1.2.3.45");
    EXPECT_EQ(about.InternalName(), "int");
    EXPECT_EQ(about.Copyright(), "(C) me");
    EXPECT_EQ(about.TradeMarks(), "TM");
    EXPECT_EQ(about.OriginalFilename(), "orig");
    EXPECT_EQ(about.ProductName(), "Prod");
    EXPECT_EQ(about.ProductVersion(), "9.9");
    EXPECT_EQ(about.Comments(), "note");
    EXPECT_EQ(about.GetVersion(), "1.2.3");
    EXPECT_EQ(about.Position(), spDefault);
    EXPECT_EQ(about.HomePage(), "");
    EXPECT_EQ(about.MailAddr(), "");
}

TEST(AboutDialog, AMissingKeyLeavesOnlyThatTextEmpty) {
    TAboutDialog about(nullptr, Record(0x0411, 0xfde9, {{"FileVersion", "2.0.1.7"}}));
    EXPECT_EQ(about.FileVersion(), "2.0.1.7");
    EXPECT_EQ(about.ProductName(), "");
    EXPECT_EQ(about.Comments(), "");
}

TEST(AboutDialog, NoRecordOrNoTranslationLeavesEveryTextEmpty) {
    TAboutDialog none(nullptr, std::nullopt);
    EXPECT_EQ(none.FileVersion(), "");
    EXPECT_EQ(none.GetVersion(), "");
    EXPECT_EQ(none.Copyright(), "");

    version::VersionRecord record = Record(0x0411, 0xfde9, {{"FileVersion", "1.0.0.1"}});
    record.translations.clear();
    TAboutDialog untranslated(nullptr, record);
    EXPECT_EQ(untranslated.FileVersion(), "");
    EXPECT_EQ(untranslated.GetVersion(), "");
}

TEST(AboutDialog, BackslashNInTheCommentsBecomesALineBreak) {
    TAboutDialog about(nullptr, Record(1, 2, {{"Comments", "one\\ntwo\\nthree"}}));
    EXPECT_EQ(about.Comments(), "one\r\ntwo\r\nthree");
    EXPECT_EQ(about::ExpandLineBreaks("a\\\\nb\\"), "a\\\r\nb\\");
    EXPECT_EQ(about::ExpandLineBreaks("\\t\\N"), "\\t\\N");
}

TEST(AboutDialog, GetVersionDropsTheLastDottedPart) {
    const std::pair<const char*, const char*> cases[] = {
        {"1.2.3.45", "1.2.3"}, {"7", "7"}, {"1.", "1"}, {".5", ""}, {"", ""}};
    for (auto [fileVersion, expected] : cases) {
        TAboutDialog about(nullptr, Record(1, 2, {{"FileVersion", fileVersion}}));
        EXPECT_EQ(about.GetVersion(), expected) << fileVersion;
    }
}

TEST(AboutDialog, TheBuildsOwnRecordCarriesTheProjectVersion) {
    TAboutDialog about;
    EXPECT_EQ(about.FileVersion(), ZW_PROJECT_VERSION);
    EXPECT_EQ(about.ProductVersion(), ZW_PROJECT_VERSION);
    EXPECT_EQ(about.ProductName(), "Zindor Whois");
    const std::string version = ZW_PROJECT_VERSION;
    EXPECT_EQ(about.GetVersion(), version.substr(0, version.rfind('.')));
    // The comments of the record carry a line break.
    EXPECT_NE(about.Comments().find("\r\n"), std::string::npos);
    EXPECT_EQ(about.Comments().find("\\n"), std::string::npos);
}

TEST(AboutDialog, TheCaptionIsTheApplicationsTitleAtCreation) {
    const QString saved = platform::ApplicationTitle();
    // Qt's names are the program's file name, not its title.
    QGuiApplication::setApplicationName(QStringLiteral("zindor-whois"));
    platform::SetApplicationTitle(QStringLiteral("Zindor Whois"));
    TAboutDialog about;
    platform::SetApplicationTitle(QStringLiteral("Later"));
    EXPECT_EQ(about.Caption(), "Zindor Whois");
    EXPECT_EQ("Zindor Whois (v." + about.GetVersion() + ")",
              "Zindor Whois (v." + std::string(ZW_PROJECT_VERSION).substr(0, 5) + ")");
    platform::SetApplicationTitle(saved);
}

TEST(AboutBoxText, TheLastDotBecomesTheBuildNumber) {
    EXPECT_EQ(about::VersionText("P", "1.2.3.45"), "P\nVersion. 1.2.3 (Build 45)");
    // Without a dot in the file version the dot of "Version. " takes the part.
    EXPECT_EQ(about::VersionText("P", "7"), "P\nVersion (Build  7)");
    EXPECT_EQ(about::VersionText("", ""), "\nVersion (Build  )");
}

TEST(AboutBoxPlace, EachPositionPutsTheBoxWhereItBelongs) {
    const QRect screen(0, 0, 1024, 768);
    const QRect main(100, 50, 600, 401);
    const QSize box(312, 207);
    EXPECT_EQ(about::Place(spDefault, screen, main, box), QPoint(356, 280));
    EXPECT_EQ(about::Place(spScreenCenter, screen, main, box), QPoint(356, 280));
    EXPECT_EQ(about::Place(spFormCenter, screen, main, box), QPoint(244, 147));
    EXPECT_EQ(about::Place(spTopLeft, screen, main, box), QPoint(0, 0));
    EXPECT_EQ(about::Place(spTopRight, screen, main, box), QPoint(710, 0));
    EXPECT_EQ(about::Place(spBottomLeft, screen, main, box), QPoint(0, 559));
    EXPECT_EQ(about::Place(spBottomRight, screen, main, box), QPoint(710, 559));
    // Halves round towards zero when the box is larger than the window.
    EXPECT_EQ(about::Place(spFormCenter, screen, QRect(0, 0, 100, 100), QSize(203, 203)),
              QPoint(-51, -51));
}

} // namespace

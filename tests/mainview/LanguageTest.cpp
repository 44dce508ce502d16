// The window in English outside a Japanese locale: every caption comes from the translation.
#include "tests/mainview/FormFixture.h"

#include "dialogs/AboutForm.h"
#include "directory/ui/SrvSetup.h"
#include "mainview/Language.h"
#include "mainview/MessageHooks.h"
#include "mainview/ShowText.h"
#include "rdap/RdapUpdate.h"
#include "settings/IniParam.h"

#include <QDialogButtonBox>
#include <QLibraryInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QTranslator>
#include <QTreeWidget>

using mainview::ChooseLanguage;
using mainview::Language;

TEST(LanguageTest, OptionWinsOverLocale) {
    const QLocale ja(QLocale::Japanese), en(QLocale::English), c(QLocale::C);
    EXPECT_EQ(ChooseLanguage("", ja), Language::Japanese);
    EXPECT_EQ(ChooseLanguage("", c), Language::English);
    EXPECT_EQ(ChooseLanguage("ja", en), Language::Japanese);
    EXPECT_EQ(ChooseLanguage("en", ja), Language::English);
    EXPECT_EQ(ChooseLanguage("de", en), std::nullopt);
}

// Qt's own texts follow a Japanese window where Qt's translation is; not an English window.
TEST(LanguageTest, QtsOwnButtonsSpeakJapaneseInTheJapaneseWindow) {
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!QFile::exists(folder + QStringLiteral("/qtbase_ja.qm")))
        GTEST_SKIP() << "Qt's Japanese translation (qt6-translations-l10n) is not installed";
    const std::tuple<Language, QString, bool, const char*> rows[] = {
        {Language::English, folder, false, "Cancel"},
        {Language::Japanese, folder + "/none", false, "Cancel"},
        {Language::Japanese, folder, true, "キャンセル"}};
    for (const auto& [language, from, loaded, cancel] : rows) {
        QTranslator translator;
        EXPECT_EQ(mainview::InstallQtTranslation(language, translator, from), loaded);
        QDialogButtonBox box(QDialogButtonBox::Cancel);
        EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text(), QString::fromUtf8(cancel));
    }
}

// The window words the bootstrap update's outcome in its language; English as zwhois says it.
TEST(LanguageTest, RdapUpdateOutcomeFollowsTheWindowsLanguage) {
    using O = rdap::FileUpdate::Outcome;
    const std::tuple<O, const char*, const char*> rows[] = {
        {O::Updated, "a: 更新しました", "a: updated"},
        {O::NotFound, "a: d にありません。古いファイルを残します",
         "a: kept the old file (not found at d)"},
        {O::Failed, "a: 取得できません (d)。古いファイルを残します", "a: kept the old file (d)"},
        {O::Invalid, "a: ブートストラップファイルではありません。古いファイルを残します",
         "a: kept the old file (not a valid bootstrap file)"},
        {O::NotStored, "a: 保存できません (d)。古いファイルを残します", "a: kept the old file (d)"},
        {O::Stopped, "a: 中止しました。古いファイルを残します", "a: kept the old file (stopped)"},
        // No file before: none stays.
        {O::NotFound, "a: d にありません。ファイルはまだありません",
         "a: no file yet (not found at d)"}};
    rdap::UpdateResult result;
    QStringList japanese, english;
    for (const auto& [outcome, ja, en] : rows) {
        result.files.push_back({"a", outcome, outcome == O::Updated ? "" : "d",
                                std::string(en).find("no file") == std::string::npos});
        japanese << QString::fromUtf8(ja);
        english << en;
    }
    EXPECT_EQ(TMainForm::RdapUpdateText(result), japanese.join('\n'));
    QTranslator translator;
    ASSERT_TRUE(mainview::InstallTranslation(Language::English, translator));
    EXPECT_EQ(TMainForm::RdapUpdateText(result), english.join('\n'));
    result.files.clear(); // a worker that never ran has only its error's line
    result.lines = {"refused"};
    EXPECT_EQ(TMainForm::RdapUpdateText(result), QStringLiteral("refused"));
}

// Every text a user reads in `root` and its children, as "objectName.property=text".
QStringList Texts(QObject* root) {
    QStringList texts;
    for (QObject* o : root->findChildren<QObject*>() + QList<QObject*>{root}) {
        for (const char* name : {"text", "title", "windowTitle", "toolTip", "iconText"})
            if (const QVariant v = o->property(name); v.isValid())
                texts << o->objectName() + "." + name + "=" + v.toString();
        if (auto* tree = qobject_cast<QTreeWidget*>(o))
            for (int i = 0; i < tree->columnCount(); ++i)
                texts << o->objectName() + ".header=" + tree->headerItem()->text(i);
    }
    return texts;
}

using EnglishWindowTest = FormFixture;

TEST_F(EnglishWindowTest, NoJapaneseCaptionIsLeft) {
    QTranslator translator;
    ASSERT_TRUE(mainview::InstallTranslation(Language::English, translator));
    TServerForm servers;
    TAboutForm about;
    TShowForm popup;
    const QStringList texts = Texts(&Start()) + Texts(&servers) + Texts(&about) + Texts(&popup);
    EXPECT_EQ(TMainForm::SummaryLabel(SummaryField::Registrar), QStringLiteral("Registrar"));
    EXPECT_EQ(TMainForm::SummaryLabel(SummaryField::Registry), QStringLiteral("Registry"));
    for (const char* text : {"File1.title=&File", "CloseAction.toolTip=Quit the application",
                             "UpdateBtn.text=OK", "HostView.header=RTT (ms)"})
        EXPECT_TRUE(texts.contains(text)) << text;
    // Kana, kanji and full-width forms: a Japanese text nobody translated.
    const QRegularExpression japanese(QStringLiteral("[\\x{3000}-\\x{9fff}\\x{ff00}-\\x{ffef}]"));
    EXPECT_EQ(texts.filter(japanese).join('\n').toStdString(), "");
    // The settings library's errors keep what they name.
    mainview::ShowError(QString::fromUtf8(EFCreateError("/ro/ファイル.txt").what()));
    EXPECT_EQ(messages_, QStringList("Cannot create file /ro/ファイル.txt"));
}

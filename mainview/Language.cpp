#include "mainview/Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace mainview {

std::optional<Language> ChooseLanguage(const QString& requested, const QLocale& locale) {
    if (requested == QLatin1String("ja"))
        return Language::Japanese;
    if (requested == QLatin1String("en"))
        return Language::English;
    if (!requested.isEmpty())
        return std::nullopt;
    return locale.language() == QLocale::Japanese ? Language::Japanese : Language::English;
}

bool InstallTranslation(Language language, QTranslator& translator) {
    if (language == Language::Japanese)
        return true;
    return translator.load(QStringLiteral(":/i18n/zindor-whois_en.qm")) &&
           QCoreApplication::installTranslator(&translator);
}

bool InstallQtTranslation(Language language, QTranslator& translator, const QString& folder) {
    if (language != Language::Japanese)
        return false;
    const QString from =
        folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
    // qt_ja loads qtbase_ja and the other modules' files it names.
    return translator.load(QLocale(QLocale::Japanese), QStringLiteral("qt"), QStringLiteral("_"),
                           from) &&
           QCoreApplication::installTranslator(&translator);
}

} // namespace mainview

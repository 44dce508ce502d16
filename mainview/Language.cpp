#include "mainview/Language.h"

#include <QCoreApplication>
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

} // namespace mainview

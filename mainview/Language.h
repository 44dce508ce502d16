#pragma once

#include <QLocale>
#include <QString>

#include <optional>

class QTranslator;

namespace mainview {

// The window's texts are written in Japanese; outside a Japanese locale an English
// translation built into the program replaces them.
enum class Language { Japanese, English };

// `requested` is the --lang value: "ja", "en", or empty for the locale's choice. Any other
// value gives nothing.
std::optional<Language> ChooseLanguage(const QString& requested, const QLocale& locale);

// Loads the translation for `language` into `translator` and installs it in the application
// (nothing for Japanese); it stays installed while `translator` lives. Returns false when the
// English translation could not be loaded.
bool InstallTranslation(Language language, QTranslator& translator);

// Loads Qt's own translation for a Japanese window from `folder` (default: Qt's translations
// folder, where Debian's qt6-translations-l10n puts it) and installs it. Returns false when
// there is none; an English window needs none and gets none.
bool InstallQtTranslation(Language language, QTranslator& translator,
                          const QString& folder = QString());

} // namespace mainview

#pragma once

#include <QFont>
#include <QString>

#include <functional>
#include <optional>

class QWidget;

// The window's common dialogs (save file, font) go through here so that tests answer them
// instead of a person. With a hook installed no dialog is shown.
namespace mainview {

struct SaveDialogSpec {
    QString Title;
    QString Filter;
    QString DefaultSuffix;
};

// Returns the confirmed file name, or nothing when cancelled.
using SaveFileHook = std::function<std::optional<QString>(const SaveDialogSpec& spec)>;
SaveFileHook SetSaveFileHook(SaveFileHook hook);
std::optional<QString> RunSaveDialog(QWidget* parent, const SaveDialogSpec& spec);

// Returns the chosen font, or nothing when cancelled.
using FontHook = std::function<std::optional<QFont>(const QFont& current)>;
FontHook SetFontHook(FontHook hook);
std::optional<QFont> RunFontDialog(QWidget* parent, const QFont& current);

} // namespace mainview

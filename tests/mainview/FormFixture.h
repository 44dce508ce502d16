#pragma once

#include "mainview/AppPaths.h"
#include "mainview/MainView.h"

#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// A main window over a folder of its own: files are written before start-up, the window is
// created, closed and destroyed as the program does, and the settings are saved as the
// program's end would save them.
class FormFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the window (FormCreate runs).
    TMainForm& Start();
    // Closes and destroys the window, then writes the settings file (the program's end).
    void Shutdown();
    // Shutdown followed by a new start on the same folder.
    TMainForm& Restart();

    void WriteFile(const std::string& name, const std::string& bytes) const;
    std::string ReadFile(const std::string& name) const;
    bool Exists(const std::string& name) const;
    // The settings file's lines.
    std::vector<std::string> SettingsLines() const;

    static QStringList Items(const class QComboBox* combo);

    QTemporaryDir dir_;
    mainview::AppPaths paths_;
    std::unique_ptr<TMainForm> form_;
    QStringList messages_; // texts of message boxes the window showed
};

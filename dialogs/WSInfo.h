#pragma once

#include <QDialog>

#include <cstdint>
#include <functional>
#include <string>

class QGroupBox;
class QLabel;
class QPushButton;
class TBevelLabel;

// The WinSock information dialog: the computer's name and what the socket layer reports
// about itself at start-up. Everything is gathered once, when the dialog is created.
class TWSDialog : public QDialog {
    Q_OBJECT
public:
    // Fills `name` and returns true, or returns false when the name cannot be had.
    using NameSource = std::function<bool(std::string& name)>;

    // Without a source the system's host name is asked for.
    explicit TWSDialog(QWidget* parent = nullptr, NameSource computerName = {});

    QLabel* Label8 = nullptr;
    TBevelLabel* MyName = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label1 = nullptr;
    TBevelLabel* Version = nullptr;
    QLabel* Label2 = nullptr;
    TBevelLabel* HighVersion = nullptr;
    QLabel* Label4 = nullptr;
    TBevelLabel* SysStatus = nullptr;
    QLabel* Label3 = nullptr;
    TBevelLabel* Description = nullptr;
    QLabel* Label5 = nullptr;
    TBevelLabel* Vendor = nullptr;
    QLabel* Label6 = nullptr;
    TBevelLabel* MaxSockets = nullptr;
    QLabel* Label7 = nullptr;
    TBevelLabel* MaxUDP = nullptr;
    QPushButton* Button1 = nullptr;

    // Shows the system's status whole: the box grows with its text, and past the description
    // box's width the dialog widens with it, since a kernel's release can be long.
    void ShowStatus(const QString& text);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate(const NameSource& computerName);
};

// A WinSock version word as "major.minor": the low byte, then the high byte.
std::string WinSockVersionText(uint16_t version);
// The host name as the dialog asks for it: at most 63 characters, or false.
bool HostComputerName(std::string& name);

#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;
class QToolButton;
class TBevelLabel;

// The about box: the program's icon, description, version with build number, legal
// notices, comments and two optional buttons for the author's mail and web page. Built
// and filled by TAboutDialog::Execute for one modal showing.
class TAboutForm : public QDialog {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget* parent = nullptr);

    QFrame* Panel1;
    QLabel* ProgramIcon;
    QLabel* ProductName;
    QLabel* Version;
    QLabel* Copyright;
    QLabel* Label1;
    TBevelLabel* Comments;
    QToolButton* OpenWeb;
    QToolButton* MailTo;
    QPushButton* OKButton;

    // Set before showing: what the two buttons open.
    std::string FMailAddr;
    std::string FHomePage;

    void MailToClick();
    void OpenWebClick();

    // Places the panel's bottom-docked labels after their texts are set: from the panel's
    // bottom edge upwards Comments, Label1, Copyright; and sizes the two top labels.
    void ArrangeLabels();
};

#pragma once

#include <QDialog>
#include <QPoint>
#include <QPointF>

#include <functional>

class QAction;
class QMenu;
class QPlainTextEdit;

// The popup text window that shows the answer while the main window is hidden: frameless,
// one read-only text box, closed by a double click or "閉じる", dragged by its text.
class TShowForm : public QDialog {
    Q_OBJECT
public:
    explicit TShowForm(QWidget* owner = nullptr);

    // Shows the window modally and returns when it is closed.
    int ShowModal();

    // For tests: when set, ShowModal shows the window without a modal loop and runs the hook,
    // which drives it (and usually closes it); the window is hidden afterwards.
    static std::function<void(TShowForm&)> ModalHook;

    void CloseClick();
    // A press of a mouse button on the text: the left one arms a drag of the whole window.
    void Memo1MouseDown(Qt::MouseButton Button, const QPointF& GlobalPos);

    QPlainTextEdit* Memo1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* Close1 = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Returns true when the event was part of a drag and must not reach the text box.
    bool DragMove(const QPointF& globalPos, Qt::MouseButtons buttons);
    void DragEnd();

    bool FPressed = false; // left button down on the text, drag not yet begun
    bool FMoving = false;  // moving the window by hand (no system move available)
    QPointF FPressPos;     // global position of the press
    QPoint FWindowPos;     // window position at the press
    bool FCentred = false;
};

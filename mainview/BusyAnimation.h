#pragma once

#include <QTimer>
#include <QWidget>

namespace mainview {

// The busy picture of the option panel: a magnifying glass circling over a computer,
// drawn by the program itself (the Windows "search computer" clip has no counterpart).
class TBusyAnimation : public QWidget {
    Q_OBJECT
public:
    explicit TBusyAnimation(QWidget* parent = nullptr);

    void Play();
    void Stop();
    bool Active() const { return timer_.isActive(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer timer_;
    int frame_ = 0;
};

} // namespace mainview

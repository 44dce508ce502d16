#pragma once

#include "settings/IniParam.h"

#include <QSize>

class QWidget;

namespace mainview {

// The main window as the settings record places it: state, bounds of the normal window
// and the size of the whole primary screen.
class TFormFrame : public settings::WindowFrame {
public:
    explicit TFormFrame(QWidget* window) : window_(window) {}

    TWindowState WindowState() const override;
    void SetWindowState(TWindowState state) override;
    TRect BoundsRect() const override;
    void SetBounds(int left, int top, int width, int height) override;
    int ScreenWidth() const override;
    int ScreenHeight() const override;

    // Tests fix the screen size so that placement is checked on a screen of known size;
    // an empty size returns to the real screen.
    static void SetScreenSizeOverride(QSize size);

private:
    QWidget* window_;
};

} // namespace mainview

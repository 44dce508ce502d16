#pragma once

#include <QStatusBar>

#include <array>

class QLabel;

namespace mainview {

// A status bar of fixed-width text panels laid side by side, like the Windows status bar
// control: the window sets each panel's width and text; the size grip keeps the corner.
class TStatusPanels : public QStatusBar {
    Q_OBJECT
public:
    static constexpr int PanelCount = 3;

    explicit TStatusPanels(QWidget* parent = nullptr);

    QString PanelText(int index) const;
    void SetPanelText(int index, const QString& text);
    int PanelWidth(int index) const;
    void SetPanelWidth(int index, int width);
    // The height the size grip claims at the right edge (the bar's client height).
    int ClientHeight() const { return height(); }
    int ClientWidth() const { return width(); }

signals:
    void Resized();

protected:
    void resizeEvent(QResizeEvent* event) override;
    // The panels are the whole bar: no temporary messages are drawn beneath them.
    void paintEvent(QPaintEvent* event) override;

private:
    void PlacePanels();

    std::array<QLabel*, PanelCount> panels_{};
    std::array<int, PanelCount> widths_{};
};

} // namespace mainview

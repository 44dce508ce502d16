#include "settings/IniParam.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>

namespace {

// A window that records what it is told, on a screen of a given size.
class FakeWindow : public settings::WindowFrame {
public:
    FakeWindow(int screenW, int screenH) : screenW_(screenW), screenH_(screenH) {}

    TWindowState WindowState() const override { return state; }
    void SetWindowState(TWindowState s) override { state = s; }
    TRect BoundsRect() const override { return bounds; }
    void SetBounds(int left, int top, int width, int height) override {
        setBounds = TRect{left, top, width, height};
        bounds = TRect{left, top, left + width, top + height};
    }
    int ScreenWidth() const override { return screenW_; }
    int ScreenHeight() const override { return screenH_; }

    TWindowState state = wsNormal;
    TRect bounds{497, 130, 1120, 659}; // the designed placement
    std::optional<TRect> setBounds;    // Left, Top, width, height of the last SetBounds

private:
    int screenW_;
    int screenH_;
};

TRect Placed(TWindowState state, TRect saved, int screenW = 1024, int screenH = 768,
             TWindowState* finalState = nullptr) {
    TInitParam p;
    p.FWindowInfo = {saved, state};
    FakeWindow w(screenW, screenH);
    p.ApplyWindow(w);
    if (finalState)
        *finalState = w.state;
    return w.setBounds.value_or(TRect{-1, -1, -1, -1});
}

const TRect kUntouched{-1, -1, -1, -1};

TEST(ApplyWindow, MaximizedStateSkipsTheBounds) {
    TWindowState s;
    EXPECT_EQ(Placed(wsMaximized, {10, 10, 500, 400}, 1024, 768, &s), kUntouched);
    EXPECT_EQ(s, wsMaximized);
}

TEST(ApplyWindow, MissingOrEmptyBoundsKeepTheDesignedPlacement) {
    EXPECT_EQ(Placed(wsNormal, {0, 0, 0, 0}), kUntouched);
    EXPECT_EQ(Placed(wsNormal, {100, 100, 100, 300}), kUntouched); // Left equal to Right
    EXPECT_EQ(Placed(wsNormal, {300, 100, 100, 300}), kUntouched);
}

TEST(ApplyWindow, InsideTheScreenIsTakenAsSaved) {
    EXPECT_EQ(Placed(wsNormal, {497, 130, 1120, 659}, 1920, 1080), (TRect{497, 130, 623, 529}));
    TWindowState s;
    EXPECT_EQ(Placed(wsMinimized, {10, 20, 110, 220}, 1024, 768, &s), (TRect{10, 20, 100, 200}));
    EXPECT_EQ(s, wsMinimized);
}

TEST(ApplyWindow, BeyondTheRightOrBottomEdgeIsPulledBack) {
    EXPECT_EQ(Placed(wsNormal, {1500, 100, 2100, 500}), (TRect{424, 100, 600, 400}));
    EXPECT_EQ(Placed(wsNormal, {100, 700, 300, 900}), (TRect{100, 568, 200, 200}));
    // Wider than the screen: pulled back to the left edge, size kept.
    EXPECT_EQ(Placed(wsNormal, {100, 0, 1300, 100}), (TRect{0, 0, 1200, 100}));
}

TEST(ApplyWindow, NegativePositionsBecomeZero) {
    EXPECT_EQ(Placed(wsNormal, {-50, -20, 300, 200}), (TRect{0, 0, 350, 220}));
}

TEST(ApplyWindow, NoHeightBecomesAThirdOfTheScreen) {
    EXPECT_EQ(Placed(wsNormal, {10, 20, 110, 20}), (TRect{10, 20, 100, 256}));
    EXPECT_EQ(Placed(wsNormal, {10, 500, 110, 400}), (TRect{10, 500, 100, 256}));
}

TEST(ApplyWindow, ExtremeValuesDoNotOverflow) {
    EXPECT_EQ(Placed(wsNormal, {INT_MIN, INT_MIN, INT_MAX, INT_MAX}),
              (TRect{0, 0, INT_MAX, INT_MAX}));
    EXPECT_EQ(Placed(wsNormal, {INT_MAX - 1, 0, INT_MAX, 10}), (TRect{1023, 0, 1, 10}));
}

TEST(StoreWindow, NormalWindowGivesItsBoundsAndState) {
    TInitParam p;
    p.FWindowInfo = {{1, 2, 3, 4}, wsMaximized};
    FakeWindow w(1024, 768);
    w.bounds = {20, 30, 420, 330};
    w.state = wsNormal;
    p.StoreWindow(w);
    EXPECT_EQ(p.FWindowInfo, (TWindowInfo{{20, 30, 420, 330}, wsNormal}));
    w.state = wsMinimized;
    w.bounds = {5, 6, 7, 8};
    p.StoreWindow(w);
    EXPECT_EQ(p.FWindowInfo, (TWindowInfo{{5, 6, 7, 8}, wsMinimized}));
}

TEST(StoreWindow, MaximizedWindowKeepsTheLoadedBounds) {
    TInitParam p;
    p.FWindowInfo = {{10, 10, 500, 400}, wsMaximized};
    FakeWindow w(1024, 768);
    p.ApplyWindow(w);
    w.bounds = {0, 0, 1024, 768};
    p.StoreWindow(w);
    EXPECT_EQ(p.FWindowInfo, (TWindowInfo{{10, 10, 500, 400}, wsMaximized}));
}

} // namespace

// The saved window placement on a screen of known size.
#include "tests/mainview/FormFixture.h"

#include "mainview/FormFrame.h"

#include "settings/IniParam.h"

#include <algorithm>

namespace {

class WindowPlacementTest : public FormFixture {
protected:
    void SetUp() override {
        FormFixture::SetUp();
        mainview::TFormFrame::SetScreenSizeOverride(QSize(1024, 768));
    }
    void TearDown() override {
        mainview::TFormFrame::SetScreenSizeOverride(QSize());
        FormFixture::TearDown();
    }
    void StartWith(const std::string& info) {
        WriteFile("zindor-whois.ini", "WINDOWINFO=" + info + "\r\n");
        Start();
    }
    std::string SavedInfo() {
        for (const std::string& line : SettingsLines())
            if (line.rfind("WINDOWINFO=", 0) == 0)
                return line.substr(11);
        return {};
    }
};

} // namespace

TEST_F(WindowPlacementTest, MaximizedStartKeepsLoadedBoundsAtExit) {
    StartWith("2,10,10,500,400");
    EXPECT_TRUE(form_->windowState() & Qt::WindowMaximized);
    Shutdown();
    EXPECT_EQ(SavedInfo(), "2,10,10,500,400");
}

TEST_F(WindowPlacementTest, WindowBeyondRightEdgeIsMovedBack) {
    StartWith("0,1500,100,2100,500");
    EXPECT_EQ(form_->geometry(), QRect(424, 100, 600, 400));
}

TEST_F(WindowPlacementTest, NegativePositionBecomesZero) {
    StartWith("0,-50,-20,300,200");
    EXPECT_EQ(form_->geometry(), QRect(0, 0, 350, 220));
}

TEST_F(WindowPlacementTest, EmptyBoundsKeepDesignedSize) {
    StartWith("0,100,100,100,300");
    EXPECT_EQ(form_->size(), QSize(623, 529));
}

TEST_F(WindowPlacementTest, NormalWindowStoresItsBounds) {
    StartWith("0,20,30,620,530");
    form_->setGeometry(40, 50, 500, 400);
    Shutdown();
    EXPECT_EQ(SavedInfo(), "0,40,50,540,450");
}

TEST_F(WindowPlacementTest, WindowMaximizedDuringRunWritesStateWithLoadedBounds) {
    StartWith("0,20,30,620,530");
    form_->setWindowState(Qt::WindowMaximized);
    Shutdown();
    EXPECT_EQ(SavedInfo(), "2,20,30,620,530");
}

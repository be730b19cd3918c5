// Reads the window's pixels back from the X server, so it must not share the display with
// other windows that could cover it: registered to run alone.
#include "MainWindowFixture.h"

TEST_F(MainWindowTest, FrameActuallyReachesTheWindow) {
    Start();
    Main->StopSpinning();
    Open(Write("plain.pic", PlainData));
    Main->raise();
    auto windowPixel = [&] {
        Main->Repaint();
        Pump(50);
        QImage shot = QApplication::primaryScreen()->grabWindow(Main->Canvas->winId()).toImage();
        EXPECT_FALSE(shot.isNull());
        return shot.isNull() ? QColor() : shot.pixelColor(3, shot.height() - 4);
    };
    // through the window context (direct rendering)
    Doc.Display.BackColor = 0x0000FF;
    QColor c = windowPixel();
    EXPECT_EQ(c.red(), 255);
    EXPECT_EQ(c.green(), 0);
    EXPECT_EQ(c.blue(), 0);
    // through the Xlib copy used when the window context cannot draw on the window
    Main->GL->ForceImageCopy();
    Doc.Display.BackColor = 0x00FF00;
    c = windowPixel();
    EXPECT_EQ(c.red(), 0);
    EXPECT_EQ(c.green(), 255);
    EXPECT_EQ(c.blue(), 0);
}

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QMouseEvent>
#include <QTemporaryDir>

#include "ombrix/app/MainWindow.h"
#include "ombrix/app/PanelDisplay.h"
#include "ombrix/app/PlayerApplication.h"
#include "ombrix/app/SurfaceWidget.h"
#include "ombrix/control/PlaybackController.h"
#include "ombrix/settings/Home.h"
#include "ombrix/settings/IniDocument.h"
#include "ombrix/skin/PanelElements.h"
#include "support/Files.h"

namespace ombrix::test {
namespace {

const QString kSkin = QStringLiteral(OMBRIX_SKIN_DIR);

TEST(DefaultSkin, EveryElementLiesInsideTheImageAndTheResourcesAreComplete) {
    const QImage base(kSkin + "/panel/default.bmp");
    const QImage alt(kSkin + "/panel/default.alt.bmp");
    ASSERT_FALSE(base.isNull());
    EXPECT_EQ(alt.size(), base.size());
    const IniDocument btn = IniDocument::read(kSkin + "/panel/default.btn");
    for (const char* name : kPanelElementNames) {
        SCOPED_TRACE(name);
        const QString n = QString::fromLatin1(name);
        if (n == "lcdtitle") continue;  // the normal panel shows the screen instead
        const qint64 l = btn.readInteger("button", n + "left", -1);
        const qint64 t = btn.readInteger("button", n + "top", -1);
        const qint64 r = btn.readInteger("button", n + "right", -1);
        const qint64 b = btn.readInteger("button", n + "bottom", -1);
        EXPECT_TRUE(l >= 0 && t >= 0 && l < r && t < b && r <= base.width() && b <= base.height());
        // The alternate look differs from the resting one somewhere in the element.
        bool differs = false;
        for (int y = int(t); y < b && !differs; ++y)
            for (int x = int(l); x < r && !differs; ++x)
                differs = base.pixel(x, y) != alt.pixel(x, y);
        if (n != "lcdvolume") {
            EXPECT_TRUE(differs);
        }
    }
    const int sl = int(btn.readInteger("button", "screenleft", -1));
    const int st = int(btn.readInteger("button", "screentop", -1));
    EXPECT_TRUE(sl >= 0 && st >= 0 && sl + 220 <= base.width() && st + 80 <= base.height());
    EXPECT_TRUE(QImage(kSkin + "/coolbar/default.bmp").width() > 0);

    const QImage bg(kSkin + "/resource/bg.bmp");
    EXPECT_EQ(bg.format(), QImage::Format_Indexed8);
    EXPECT_EQ(bg.size(), QSize(220, 80));
    EXPECT_EQ(bg.colorCount(), 256);
    EXPECT_EQ(QImage(kSkin + "/resource/logo.bmp").size(), QSize(140, 56))
        << "the configuration window's logo";
    QFile raw(kSkin + "/resource/bumpl.raw");
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    const QByteArray bytes = raw.readAll();
    EXPECT_EQ(bytes.size(), 35200);
    EXPECT_GT(bytes.left(17600).count('\1'), 200);
}

void send(QWidget* w, QEvent::Type type, QPoint p) {
    QMouseEvent e(type, QPointF(p), w->mapToGlobal(QPointF(p)), Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

class PanelWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        Home(home.path()).seed(kSkin);
        writeFile(home.filePath("ombrix player.ini"), "[option]\r\nfirsttime=0\r\nglbhide=0\r\n");
        PlayerApplication::Options o;
        o.home = home.path();
        o.hotKeys = false;
        app = std::make_unique<PlayerApplication>(std::move(o));
        window = &app->window();
        window->show();
        for (QWidget* w : window->findChildren<QWidget*>())
            if (auto* d = dynamic_cast<PanelDisplay*>(w)) display = d;
        ASSERT_NE(display, nullptr);
        for (QWidget* w : display->findChildren<QWidget*>())
            if (auto* b = dynamic_cast<SurfaceWidget*>(w);
                b && b->geometry() == QRect(QPoint(0, 0), window->size()))
                panelBox = b;
        ASSERT_NE(panelBox, nullptr);
    }
    void click(QPoint p) {
        send(panelBox, QEvent::MouseMove, p);
        send(panelBox, QEvent::MouseButtonPress, p);
        send(panelBox, QEvent::MouseButtonRelease, p);
    }
    QPoint centre(int element) const {
        return display->panel().panel().button(element).rect().center();
    }
    QRgb shown(QPoint p) const { return window->grab().toImage().pixel(p); }
    QRgb base(QPoint p) const { return display->panel().panel().base().pixel(p); }
    QRgb alt(QPoint p) const { return display->panel().panel().alternate().pixel(p); }

    QTemporaryDir home;
    std::unique_ptr<PlayerApplication> app;
    MainWindow* window = nullptr;
    PanelDisplay* display = nullptr;
    SurfaceWidget* panelBox = nullptr;
};

TEST_F(PanelWindowTest, WindowIsThePanelAndClicksDrawTogglesAndFaders) {
    EXPECT_EQ(window->size(), display->panel().panel().size());
    // Auto repeat starts on, random off; the pictures say so.
    const QPoint repeat = centre(kRepeat) + QPoint(-12, 0);
    const QPoint shuffle = centre(kShuffle) + QPoint(-12, 0);
    EXPECT_EQ(shown(repeat), alt(repeat));
    EXPECT_EQ(shown(shuffle), base(shuffle));
    click(shuffle);
    EXPECT_TRUE(window->store().settings().random1);
    EXPECT_EQ(shown(shuffle), alt(shuffle));
    click(shuffle);
    EXPECT_EQ(shown(shuffle), base(shuffle));

    // The volume fader at its lowest point: the volume is near 0 and the fill is gone.
    const ButtonRect& f = display->panel().panel().button(kFaderVolume);
    click(QPoint(f.Left + 2, f.Bottom - 1));
    EXPECT_LE(window->controller().state().volume, 2);
    const QPoint low(f.Left + (f.Right - f.Left) / 2,
                     f.Top + display->panel().panel().fadervolumeknob + 4);
    EXPECT_EQ(shown(low), base(low));
    click(QPoint(f.Left + 2, f.Top));
    EXPECT_EQ(window->controller().state().volume, 127);
    EXPECT_EQ(shown(QPoint(low.x(), f.Bottom - 3)), alt(QPoint(low.x(), f.Bottom - 3)));

    // The level meter draws what the engine measures while something plays.
    display->panel().drawLevelMeter(32767, 0);
    const ButtonRect& m = display->panel().panel().button(kLedVolume);
    const QPoint lit(m.Left + 4, m.Top + 4), dark(m.Right - 4, m.Top + 4);
    EXPECT_EQ(shown(lit), alt(lit));
    EXPECT_EQ(shown(dark), base(dark));

    // A broken panel is refused and the window keeps the one it has.
    writeFile(home.filePath("panel/broken.bmp"), "BMnot really");
    EXPECT_FALSE(display->selectPanel("broken"));
    EXPECT_EQ(window->size(), display->panel().panel().size());
    // The coolbar is a panel of its own size, with the LCD title instead of the screen.
    display->toggleCoolbarMode();
    EXPECT_TRUE(display->coolbarMode());
    EXPECT_TRUE(display->panel().showsLcdTitle());
    EXPECT_EQ(window->size(), QImage(kSkin + "/coolbar/default.bmp").size());
    display->tick(window->controller().state());
}

TEST(PaintBox, DoubleResolutionEnlargesByWholePixels) {
    QImage picture(4, 2, QImage::Format_RGB32);
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 2; ++y) picture.setPixel(x, y, qRgb(x * 60, y * 120, 0));
    SurfaceWidget box;
    box.setPicture(&picture);
    box.setFixedSize(4, 2);
    QImage out(8, 4, QImage::Format_RGB32);
    out.setDevicePixelRatio(2);
    out.fill(Qt::white);
    box.render(&out);
    for (int x = 0; x < 8; ++x)
        for (int y = 0; y < 4; ++y)
            EXPECT_EQ(out.pixel(x, y), picture.pixel(x / 2, y / 2)) << x << "," << y;
}

}  // namespace
}  // namespace ombrix::test

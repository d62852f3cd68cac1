#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QPainter>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <vector>

#include "ombrix/settings/SettingsStore.h"
#include "ombrix/windows/visuals/BumpSettingsWindow.h"
#include "ombrix/windows/visuals/FullScreenPicture.h"
#include "ombrix/windows/visuals/FullScreenWindow.h"

namespace ombrix::test {
namespace {

constexpr int W = FullScreenPicture::kWidth;
constexpr int H = FullScreenPicture::kHeight;

TEST(FullScreenPicture, TheLargestWholeFactorCentredAndTwiceAtLeast) {
    EXPECT_EQ(FullScreenPicture::factor({640, 480}), 2);
    EXPECT_EQ(FullScreenPicture::factor({1280, 800}), 3);
    EXPECT_EQ(FullScreenPicture::factor({1920, 1080}), 4);
    EXPECT_EQ(FullScreenPicture::factor({3840, 2160}), 9);
    EXPECT_EQ(FullScreenPicture::factor({800, 600}), 2);
    EXPECT_EQ(FullScreenPicture::factor({320, 240}), 2);  // cut, never smaller than twice

    FullScreenPicture p;
    p.setScreenSize({1280, 800});
    EXPECT_EQ(p.pictureRect(), QRect(160, 40, 960, 720));

    // Lines sit at the factor times their places; the slide moves line 0 left, the others right.
    FullScreenPicture::Text text;
    text.slide = 10;
    EXPECT_EQ(p.linePosition(0, text), QPoint(160 + (8 - 10) * 3, 40 + 3 * 3));
    EXPECT_EQ(p.linePosition(1, text), QPoint(160 + (8 + 10) * 3, 40 + 22 * 3));
    EXPECT_EQ(p.linePosition(2, text), QPoint(160 + (140 + 10) * 3, 40 + 40 * 3));
    QFont f;
    f.setPixelSize(11);
    EXPECT_EQ(p.lineFont(f).pixelSize(), 33);
}

// The frame is stored bottom-up; each pixel becomes a k x k block of the picture, the same with
// the blitter as without.
TEST(FullScreenPicture, PixelsBecomeBlocksTheRightWayUp) {
    std::vector<uint8_t> frame(size_t(W * H), 0);
    frame[size_t((H - 1) * W + 0)] = 7;  // top left on screen
    frame[size_t(0 * W + W - 1)] = 9;    // bottom right
    QList<QRgb> palette(256, qRgb(0, 0, 0));
    palette[7] = qRgb(255, 0, 0);
    palette[9] = qRgb(0, 0, 255);
    for (const QSize screen : {QSize(640, 480), QSize(1280, 800)}) {
        for (bool blitra : {false, true}) {
            FullScreenPicture p;
            p.setScreenSize(screen);
            p.setFrame(frame.data(), palette, blitra);
            const int k = p.factor();
            const QImage& img = p.picture();
            ASSERT_EQ(img.size(), QSize(W * k, H * k));
            for (int d = 0; d < k; ++d) {
                EXPECT_EQ(img.pixelIndex(d, k - 1 - d), 7);
                EXPECT_EQ(img.pixelIndex(W * k - 1 - d, H * k - 1), 9);
            }
            EXPECT_EQ(img.pixelIndex(k, 0), 0);
            EXPECT_EQ(img.pixelIndex(0, k), 0);
            EXPECT_EQ(img.pixel(0, 0), qRgb(255, 0, 0));
        }
    }
}

// Drawn on an offscreen screen: black around the picture, the lines in their colour where they
// belong, nothing of them elsewhere.
TEST(FullScreenPicture, PaintsThePictureAndTheLinesOnAnOffscreenSurface) {
    FullScreenPicture p;
    p.setScreenSize({1280, 800});
    std::vector<uint8_t> frame(size_t(W * H), 1);
    QList<QRgb> palette(256, qRgb(0, 0, 0));
    palette[1] = qRgb(0, 0, 80);
    p.setFrame(frame.data(), palette, false);
    FullScreenPicture::Text text;
    text.lines = {QStringLiteral("HHHH"), QString(), QString()};
    text.font.setPixelSize(12);
    text.color = QColor(255, 255, 0);
    QImage screen(1280, 800, QImage::Format_RGB32);
    screen.fill(Qt::red);
    {
        QPainter painter(&screen);
        p.paint(painter, text);
    }
    EXPECT_EQ(screen.pixel(10, 10), qRgb(0, 0, 0));
    EXPECT_EQ(screen.pixel(640, 700), qRgb(0, 0, 80));
    const QPoint at = p.linePosition(0, text);
    int yellow = 0;
    for (int y = at.y(); y < at.y() + 3 * 14; ++y)
        for (int x = at.x(); x < at.x() + 3 * 40; ++x)
            if (screen.pixel(x, y) == qRgb(255, 255, 0)) ++yellow;
    EXPECT_GT(yellow, 50);
    for (int y = 0; y < 800; y += 4)
        for (int x = 0; x < 1280; x += 4)
            if (screen.pixel(x, y) == qRgb(255, 255, 0))
                ASSERT_TRUE(QRect(at, QSize(3 * 60, 3 * 20)).contains(x, y)) << x << "," << y;
}

TEST(FullScreenWindow, AnyKeyOrClickClosesItOnce) {
    for (int how = 0; how < 2; ++how) {
        FullScreenWindow w;
        QSignalSpy closed(&w, &FullScreenWindow::closed);
        w.open(nullptr);
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(w.cursor().shape(), Qt::BlankCursor);
        if (how == 0)
            QTest::keyClick(&w, Qt::Key_A);
        else
            QTest::mouseClick(&w, Qt::LeftButton);
        QTest::keyClick(&w, Qt::Key_B);
        w.close();
        EXPECT_EQ(closed.count(), 1);
        EXPECT_FALSE(w.isVisible());
    }
}

// "ok" stores the four fields, "cancel" keeps the settings, "default" resets the fields.
TEST(BumpSettingsWindow, OkStoresCancelKeepsDefaultResets) {
    QTemporaryDir home;
    SettingsStore store(Home(home.path()), ProcessorFeatures{});
    store.change([](PlayerSettings& s) {
        s.plasmacolor = 0x102030;
        s.glbambient = 5;
        s.glbreflect = 6;
        s.glblight = 7;
    });
    {
        BumpSettingsWindow w(store);
        EXPECT_EQ(w.fields().color, 0x102030);
        EXPECT_EQ(w.fields().reflect, 6);
        w.findChild<QSpinBox*>("ambient")->setValue(99);
        QTest::mouseClick(w.findChild<QAbstractButton*>("btncancel"), Qt::LeftButton);
        EXPECT_EQ(store.settings().glbambient, 5);
    }
    {
        BumpSettingsWindow w(store);
        // Typed beyond its range, a field holds the largest value the background uses.
        auto* reflect = w.findChild<QSpinBox*>("reflect");
        reflect->setValue(50000);
        EXPECT_EQ(reflect->value(), BumpBackground::kMaxReflect);
        w.findChild<QSpinBox*>("light")->setValue(12);
        QTest::mouseClick(w.findChild<QAbstractButton*>("btnok"), Qt::LeftButton);
        EXPECT_EQ(store.settings().glblight, 12);
        EXPECT_EQ(store.settings().glbreflect, BumpBackground::kMaxReflect);
        EXPECT_EQ(store.settings().plasmacolor, 0x102030);
    }
    {
        BumpSettingsWindow w(store);
        QTest::mouseClick(w.findChild<QAbstractButton*>("btndefault"), Qt::LeftButton);
        EXPECT_EQ(w.fields().color, 16562493);
        EXPECT_EQ(w.fields().ambient, 40);
        EXPECT_EQ(w.fields().reflect, 200);
        EXPECT_EQ(w.fields().light, 59);
        EXPECT_EQ(store.settings().glblight, 12);  // only "ok" stores
    }
}

}  // namespace
}  // namespace ombrix::test

// The panel window for a new user: tooltips on every element, the zoom choice, the middle
// button and the eject button following the controller.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QToolTip>

#include "ombrix/app/MainMenus.h"
#include "ombrix/app/MainWindow.h"
#include "ombrix/app/PanelDisplay.h"
#include "ombrix/app/PlayerApplication.h"
#include "ombrix/app/SurfaceWidget.h"
#include "ombrix/control/PlaybackController.h"
#include "ombrix/settings/Home.h"
#include "ombrix/settings/SettingsStore.h"
#include "ombrix/skin/PanelElements.h"
#include "support/Files.h"

namespace ombrix::test {
namespace {

const QString kSkin = QStringLiteral(OMBRIX_SKIN_DIR);

class PanelHelpWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        Home(home.path()).seed(kSkin);
        writeFile(home.filePath("ombrix player.ini"), "[option]\r\nfirsttime=0\r\nglbhide=0\r\n");
        start();
    }
    void start(QStringList args = {}) {
        display = nullptr;
        app.reset();
        PlayerApplication::Options o;
        o.home = home.path();
        o.hotKeys = false;
        o.args = std::move(args);
        app = std::make_unique<PlayerApplication>(std::move(o));
        window = &app->window();
        window->show();
        for (QWidget* w : window->findChildren<QWidget*>())
            if (auto* d = dynamic_cast<PanelDisplay*>(w)) display = d;
        ASSERT_NE(display, nullptr);
    }
    /// The box showing the panel image (the one as large as the window) or the screen.
    SurfaceWidget* box(bool screen = false) const {
        for (SurfaceWidget* b : display->findChildren<SurfaceWidget*>()) {
            const bool whole = b->geometry() == QRect(QPoint(0, 0), window->size());
            const bool isScreen =
                b->isVisible() &&
                b->geometry() == display->zoom().toWindow(display->panel().screenRect());
            if (screen ? isScreen : whole) return b;
        }
        return nullptr;
    }
    const SkinFile& skin() const { return display->panel().panel(); }
    QPoint centre(int element) const { return skin().button(element).rect().center(); }
    void mouse(QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButton button) {
        QMouseEvent e(type, QPointF(p), w->mapToGlobal(QPointF(p)), button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
    void click(QWidget* w, QPoint p) {
        mouse(w, QEvent::MouseMove, p, Qt::NoButton);
        mouse(w, QEvent::MouseButtonPress, p, Qt::LeftButton);
        mouse(w, QEvent::MouseButtonRelease, p, Qt::LeftButton);
    }
    QString tooltipShownAt(QWidget* w, QPoint p) {
        QHelpEvent e(QEvent::ToolTip, p, w->mapToGlobal(p));
        QApplication::sendEvent(w, &e);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    }

    QTemporaryDir home;
    std::unique_ptr<PlayerApplication> app;
    MainWindow* window = nullptr;
    PanelDisplay* display = nullptr;
};

TEST_F(PanelHelpWindowTest, EveryElementOfTheDefaultPanelExplainsItselfOnHover) {
    int defined = 0;
    for (int e = 0; e < kPanelElementCount; ++e) {
        if (!skin().defined(e)) continue;
        ++defined;
        SCOPED_TRACE(kPanelElementNames[e]);
        EXPECT_EQ(display->panel().tooltipAt(centre(e).x(), centre(e).y()).text,
                  PanelPresenter::tooltipFor(e));
        EXPECT_FALSE(PanelPresenter::tooltipFor(e).isEmpty());
    }
    EXPECT_GE(defined, 24) << "the default panel has its buttons, toggles, faders and meters";

    // Qt's tooltip event on the widgets shows the texts.
    EXPECT_EQ(tooltipShownAt(box(), centre(kOpen)), "Eject: open files");
    EXPECT_EQ(tooltipShownAt(box(), centre(kFaderPan)), "Pan: drag left or right");
    SurfaceWidget* screen = box(true);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(tooltipShownAt(screen, QPoint(100, 30)), PanelPresenter::screenTooltip());
    EXPECT_EQ(tooltipShownAt(box(), centre(kFx)), PanelPresenter::tooltipFor(kFx));

    // A picture of the tooltip over the panel, for a look.
    QWidget* tip = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->inherits("QTipLabel") && w->isVisible()) tip = w;
    ASSERT_NE(tip, nullptr);
    const QPixmap panelPicture = window->grab();
    const QPixmap tipPicture = tip->grab();
    const QPoint at = centre(kFx) + QPoint(4, 12);
    QImage shot(std::max(panelPicture.width(), at.x() + tipPicture.width()),
                std::max(panelPicture.height(), at.y() + tipPicture.height()),
                QImage::Format_RGB32);
    shot.fill(Qt::white);
    {
        QPainter p(&shot);
        p.drawPixmap(0, 0, panelPicture);
        p.drawPixmap(at, tipPicture);
    }
    QDir().mkpath(OMBRIX_SHOT_DIR);
    EXPECT_TRUE(shot.save(OMBRIX_SHOT_DIR "/panel-tooltip.png"));
    QToolTip::hideText();
}

TEST_F(PanelHelpWindowTest, ZoomScalesTheWindowAndHitTestsAndIsKeptAcrossStarts) {
    const QSize panelSize = skin().size();
    EXPECT_EQ(window->size(), panelSize) << "following a screen of ratio 1";

    QAction* two = window->menus().item("PanelZoom2");
    ASSERT_NE(two, nullptr);
    two->trigger();
    EXPECT_TRUE(two->isChecked());
    EXPECT_EQ(window->store().settings().panelzoom, 2);
    EXPECT_EQ(window->size(), 2 * panelSize);
    ASSERT_NE(box(), nullptr);

    // Window (2x, 2y) is panel (x, y): the shuffle toggle's top-left pixel toggles it, the
    // pixel left of it does not.
    const ButtonRect& shuffle = skin().button(kShuffle);
    const bool before = window->store().settings().random1;
    click(box(), QPoint(2 * shuffle.Left - 1, 2 * shuffle.Top + 4));
    EXPECT_EQ(window->store().settings().random1, before);
    click(box(), QPoint(2 * shuffle.Left, 2 * shuffle.Top));
    EXPECT_NE(window->store().settings().random1, before);
    // The picture is enlarged by whole pixels.
    const QImage shown = window->grab().toImage();
    const QImage& image = display->panel().dpb2().image();
    for (QPoint p : {centre(kPlay), centre(kRepeat), QPoint(300, 10), centre(kFaderVolume)})
        for (QPoint d : {QPoint(0, 0), QPoint(1, 1), QPoint(1, 0)})
            EXPECT_EQ(shown.pixel(2 * p + d), image.pixel(p)) << p.x() << "," << p.y();
    QDir().mkpath(OMBRIX_SHOT_DIR);
    shown.save(OMBRIX_SHOT_DIR "/panel-2x-offscreen.png");

    start();  // the next start shows the panel at the size chosen
    EXPECT_EQ(window->store().settings().panelzoom, 2);
    EXPECT_EQ(window->size(), 2 * panelSize);
    EXPECT_TRUE(window->menus().item("PanelZoom2")->isChecked());
    window->menus().item("PanelZoom3")->trigger();
    EXPECT_EQ(window->size(), 3 * panelSize);
    window->menus().item("PanelZoom0")->trigger();
    EXPECT_EQ(window->size(), panelSize);
}

TEST_F(PanelHelpWindowTest, MiddleButtonResumesAndEjectFollowsTheController) {
    OMBRIX_NEED_MEDIA();
    const QString song = home.filePath("a.mp3");
    QFile::copy(media().mp3Long, song);
    start({song});
    PlaybackController& c = window->controller();
    ASSERT_TRUE(waitFor([&] { return c.state().playing; }));
    EXPECT_TRUE(display->openAllowed());
    c.pause();
    ASSERT_TRUE(c.state().paused);
    EXPECT_EQ(display->openAllowed(), c.acceptsFiles());
    EXPECT_FALSE(display->openAllowed()) << "no files are taken while paused";
    // The panel hears of the pause at the controller's next change signal.
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();

    mouse(box(), QEvent::MouseButtonPress, centre(kEdit), Qt::MiddleButton);
    mouse(box(), QEvent::MouseButtonRelease, centre(kEdit), Qt::MiddleButton);
    EXPECT_FALSE(c.state().paused) << "the middle button goes on like any other";
    EXPECT_TRUE(c.state().playing);
    EXPECT_TRUE(display->openAllowed());
    c.stop();
    window->close();
}

}  // namespace
}  // namespace ombrix::test

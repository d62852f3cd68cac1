// The windows beside the panel wear the panel's colours, follow a newly chosen panel, and show
// the desktop's own look when the user asks for it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStyle>
#include <QTemporaryDir>

#include "ombrix/app/AboutBox.h"
#include "ombrix/app/MainMenus.h"
#include "ombrix/app/MainWindow.h"
#include "ombrix/app/PanelDisplay.h"
#include "ombrix/app/PlayerApplication.h"
#include "ombrix/windows/common/PanelPalette.h"
#include "ombrix/windows/effects/DjWindow.h"
#include "ombrix/windows/effects/EqualizerWindow.h"
#include "ombrix/windows/playlist/PlaylistWindow.h"
#include "ombrix/windows/tag/TagWindow.h"
#include "support/Files.h"

namespace ombrix::test {
namespace {

const QString kSkin = QStringLiteral(OMBRIX_SKIN_DIR);

QColor windowColour(const QWidget& w) {
    return w.palette().color(QPalette::Window);
}

/// With OMBRIX_SHOT_DIR set, pictures of the tool windows as they look now, named
/// <window>[-suffix].png.
void takeShots(MainWindow& window, const QString& suffix) {
    const QString dir = qEnvironmentVariable("OMBRIX_SHOT_DIR");
    if (dir.isEmpty()) return;
    QDir().mkpath(dir);
    AboutBox about(QStringLiteral("Ombrix Player\nA skinnable media player"), &window);
    about.show();
    const std::pair<const char*, QWidget*> windows[] = {
        {"playlist", &window.playlistWindow()}, {"tag", &window.tagWindow()},
        {"dj", &window.djWindow()},             {"equalizer", &window.equalizerWindow()},
        {"about", &about}};
    for (const auto& [name, w] : windows) {
        MainWindow::present(*w);
        QCoreApplication::processEvents();
        w->grab().save(QDir(dir).filePath(QString::fromLatin1(name) + suffix + ".png"));
    }
}

TEST(ToolWindowLook, WindowsWearThePanelsColoursAndFollowANewOne) {
    QTemporaryDir home;
    Home(home.path()).seed(kSkin);
    writeFile(home.filePath("ombrix player.ini"), "[option]\r\nfirsttime=0\r\nglbhide=0\r\n");
    // A dark panel of the default's shape: the same elements on a near-black face.
    QImage dark(kSkin + "/panel/default.bmp");
    dark.fill(QColor(0x14, 0x16, 0x1c));
    ASSERT_TRUE(dark.save(home.filePath("panel/dark.bmp"), "BMP"));
    ASSERT_TRUE(dark.save(home.filePath("panel/dark.alt.bmp"), "BMP"));
    ASSERT_TRUE(QFile::copy(kSkin + "/panel/default.btn", home.filePath("panel/dark.btn")));
    const QColor desktop = QApplication::palette().color(QPalette::Window);
    {
        PlayerApplication::Options o;
        o.home = home.path();
        o.hotKeys = false;
        PlayerApplication app(std::move(o));
        MainWindow& window = app.window();
        window.show();
        PanelDisplay* display = nullptr;
        for (QWidget* w : window.findChildren<QWidget*>())
            if (auto* d = dynamic_cast<PanelDisplay*>(w)) display = d;
        ASSERT_NE(display, nullptr);

        const SkinFile& panel = display->panel().panel();
        const auto colours =
            PanelPalette::measure(panel.base(), SkinFile::rgbFromColorRef(panel.transparentcolor));
        ASSERT_TRUE(colours.has_value());
        const QColor defaultLook = PanelPalette::derive(*colours).color(QPalette::Window);
        window.showPlaylistWindow();
        window.openTagEditor({});
        QCoreApplication::processEvents();
        EXPECT_EQ(QApplication::style()->name(), "fusion");
        for (QWidget* w : {static_cast<QWidget*>(&window.playlistWindow()),
                           static_cast<QWidget*>(&window.tagWindow())})
            EXPECT_EQ(windowColour(*w), defaultLook) << w->windowTitle().toStdString();

        takeShots(window, {});
        ASSERT_TRUE(display->selectPanel("dark"));
        QCoreApplication::processEvents();
        const QPalette open = window.playlistWindow().palette();
        EXPECT_LT(PanelPalette::luminance(open.color(QPalette::Window)), 0.05)
            << "the open window took the dark panel's colours";
        EXPECT_GE(PanelPalette::contrast(open.color(QPalette::Text), open.color(QPalette::Base)),
                  PanelPalette::kMinTextContrast);
        EXPECT_EQ(windowColour(window.djWindow()), open.color(QPalette::Window));
        takeShots(window, "-dark");

        QAction* desktopStyle = window.menus().item("DesktopStyle1");
        ASSERT_NE(desktopStyle, nullptr);
        EXPECT_FALSE(desktopStyle->isChecked());
        desktopStyle->trigger();
        QCoreApplication::processEvents();
        EXPECT_TRUE(app.store().settings().desktopstyle);
        EXPECT_EQ(windowColour(window.playlistWindow()), desktop);
        desktopStyle->trigger();
        QCoreApplication::processEvents();
        EXPECT_EQ(windowColour(window.playlistWindow()), open.color(QPalette::Window));
        window.close();
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), desktop)
        << "the desktop's palette comes back when the program ends";
}

}  // namespace
}  // namespace ombrix::test

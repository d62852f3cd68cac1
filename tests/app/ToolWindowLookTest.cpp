// The windows beside the panel wear the panel's colours, follow a newly chosen panel, and show
// the desktop's own look when the user asks for it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QStyle>
#include <QTemporaryDir>

#include "ombrix/app/AboutBox.h"
#include "ombrix/app/MainMenus.h"
#include "ombrix/app/MainWindow.h"
#include "ombrix/app/PanelDisplay.h"
#include "ombrix/app/PlayerApplication.h"
#include "ombrix/control/PlaybackController.h"
#include "ombrix/windows/common/PanelPalette.h"
#include "ombrix/windows/effects/DjWindow.h"
#include "ombrix/windows/effects/EqualizerWindow.h"
#include "ombrix/windows/playlist/PlaylistEditor.h"
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
    const std::pair<const char*, QWidget*> windows[] = {{"playlist", &window.playlistWindow()},
                                                        {"tag", &window.tagWindow()},
                                                        {"dj", &window.djWindow()},
                                                        {"equalizer", &window.equalizerWindow()},
                                                        {"about", &about}};
    for (const auto& [name, w] : windows) {
        MainWindow::present(*w);
        QCoreApplication::processEvents();
        w->grab().save(QDir(dir).filePath(QString::fromLatin1(name) + suffix + ".png"));
    }
}

TEST(ToolWindowLook, WindowsWearThePanelsColoursAndFollowANewOne) {
    OMBRIX_NEED_MEDIA();
    QTemporaryDir home;
    Home(home.path()).seed(kSkin);
    writeFile(home.filePath("ombrix player.ini"), "[option]\r\nfirsttime=0\r\nglbhide=0\r\n");
    // The default panel is dark; a light one of its shape: the same elements on a pale face
    // with a blue stripe.
    QImage light(kSkin + "/panel/default.bmp");
    light.fill(QColor(0xe4, 0xe0, 0xd4));
    QPainter(&light).fillRect(QRect(0, 0, 40, light.height()), QColor(0x2a, 0x5b, 0xd7));
    ASSERT_TRUE(light.save(home.filePath("panel/light.bmp"), "BMP"));
    ASSERT_TRUE(light.save(home.filePath("panel/light.alt.bmp"), "BMP"));
    ASSERT_TRUE(QFile::copy(kSkin + "/panel/default.btn", home.filePath("panel/light.btn")));
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
        // A few tagged songs, so that the playlist's columns have something to show.
        QStringList songs;
        const QByteArray tags[][3] = {{"Morning Light", "The Harbour Band", "First Tide"},
                                      {"Evening Choir", "Northern Voices", "Dusk"},
                                      {"Untitled Sketch", "", ""}};
        for (const auto& [title, artist, album] : tags) {
            songs << home.filePath(QString::fromLatin1(title) + ".mp3");
            writeFile(songs.last(), readFile(media().mp3Short) + id3v1(title, artist, album));
        }
        app.controller().setPlaylist(songs);
        window.showPlaylistWindow();
        const PlaylistTable& table = window.playlistWindow().editor().table();
        ASSERT_TRUE(waitFor([&] { return table.info(songs.last()).has_value(); }));
        window.openTagEditor({});
        QCoreApplication::processEvents();
        EXPECT_EQ(QApplication::style()->name(), "fusion");
        EXPECT_LT(PanelPalette::luminance(defaultLook), 0.1) << "the default panel is dark";
        for (QWidget* w : {static_cast<QWidget*>(&window.playlistWindow()),
                           static_cast<QWidget*>(&window.tagWindow())})
            EXPECT_EQ(windowColour(*w), defaultLook) << w->windowTitle().toStdString();

        takeShots(window, {});
        ASSERT_TRUE(display->selectPanel("light"));
        QCoreApplication::processEvents();
        const QPalette open = window.playlistWindow().palette();
        EXPECT_GT(PanelPalette::luminance(open.color(QPalette::Window)), 0.6)
            << "the open window took the light panel's colours";
        EXPECT_LT(PanelPalette::luminance(open.color(QPalette::Text)), 0.05);
        EXPECT_GE(PanelPalette::contrast(open.color(QPalette::Text), open.color(QPalette::Base)),
                  PanelPalette::kMinTextContrast);
        EXPECT_EQ(windowColour(window.djWindow()), open.color(QPalette::Window));
        takeShots(window, "-light");

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

// The plug-in menus and windows in the real main window, with the sample plug-ins of a fresh
// home run by the real host: the full-screen window takes the main window's place and gives it
// back on a key press; a visualisation opens its own window. Pictures go to the shots folder.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QDir>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include "ombrix/app/MainWindow.h"
#include "ombrix/app/PlayerApplication.h"
#include "ombrix/app/PluginWindows.h"
#include "ombrix/windows/config/ConfigWindow.h"
#include "ombrix/desktop/SystemTray.h"
#include "ombrix/windows/visuals/FullScreenWindow.h"
#include "ombrix/windows/visuals/VisualizationWindow.h"
#include "support/FakeMixer.h"
#include "support/Files.h"

namespace ombrix::test {
namespace {

class NoTray final : public SystemTray {
public:
    bool available() const override { return false; }
};

template <class W>
W* shownWindow() {
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* w = qobject_cast<W*>(top); w && w->isVisible()) return w;
    return nullptr;
}

bool varied(const QImage& image) {
    const QRgb first = image.pixel(image.width() / 2, image.height() / 2);
    for (int y = 0; y < image.height(); y += 7)
        for (int x = 0; x < image.width(); x += 7)
            if (image.pixel(x, y) != first) return true;
    return false;
}

TEST(PluginWindowsTest, MenusFullScreenAndVisualisationWithTheSamples) {
    qputenv("OMBRIX_PLUGIN_HOST", OMBRIX_BUILD_DIR "/bin/ombrix-plugin-host");
    QTemporaryDir home;
    ASSERT_TRUE(Home(home.path()).seed(OMBRIX_SKIN_DIR));
    PlayerApplication::Options o;
    o.home = home.path();
    o.mixer = std::make_unique<FakeMixer>();
    o.tray = std::make_unique<NoTray>();
    o.hotKeys = false;
    PlayerApplication app(std::move(o));
    MainWindow& main = app.window();
    main.show();
    PluginWindows* plugins = main.pluginWindows();
    ASSERT_TRUE(plugins);
    // A fresh home starts on the first background plug-in, the sample.
    EXPECT_EQ(plugins->plugins().backgroundIndex(), 2);

    QMenu menu;
    plugins->fillMenu(&menu);
    QStringList kinds;
    for (QAction* a : menu.actions()) kinds << a->text();
    EXPECT_EQ(kinds, (QStringList{"&Background", "&Fullscreen", "&Amp"}));
    QStringList backgrounds;
    for (QAction* a : menu.actions().at(0)->menu()->actions())
        backgrounds << a->text() + (a->isChecked() ? "*" : "");
    EXPECT_EQ(backgrounds, (QStringList{"default", "bump", "plasma*"}));

    plugins->openFullScreen(0);
    auto* full = shownWindow<FullScreenWindow>();
    ASSERT_TRUE(full);
    EXPECT_FALSE(main.isVisible());
    ASSERT_TRUE(waitFor([&] { return !full->picture().picture().isNull() &&
                                     varied(full->picture().picture()); }));
    const QImage shot = full->grab().toImage();
    QDir().mkpath(OMBRIX_SHOT_DIR);
    shot.save(OMBRIX_SHOT_DIR "/fullscreen.png");
    EXPECT_TRUE(varied(shot));
    QTest::keyClick(full, Qt::Key_Space);
    ASSERT_TRUE(waitFor([&] { return main.isVisible() && !shownWindow<FullScreenWindow>(); }));
    EXPECT_FALSE(plugins->active());

    plugins->chooseAmp(0);
    auto* amp = shownWindow<VisualizationWindow>();
    ASSERT_TRUE(amp);
    EXPECT_TRUE(plugins->active());
    amp->close();
    ASSERT_TRUE(waitFor([&] { return !plugins->active(); }));
    main.grab().save(OMBRIX_SHOT_DIR "/panel-plasma.png");

    // The configuration window's plug-in page lists them and reads their descriptions.
    main.openConfiguration();
    ASSERT_TRUE(main.configWindow());
    auto* combo = main.configWindow()->findChild<QComboBox*>("comboplugin");
    auto* memo = main.configWindow()->findChild<QPlainTextEdit*>("memoplugin");
    ASSERT_TRUE(combo && memo);
    EXPECT_EQ(combo->itemText(0), "bg/default");
    EXPECT_EQ(memo->toPlainText(), "default by Tessik.");
    combo->setCurrentText("bg/bump");
    EXPECT_EQ(memo->toPlainText(), "bump by Tessik.");
    combo->setCurrentText("bg/plasma.so");
    EXPECT_TRUE(memo->toPlainText().startsWith("Plasma")) << qPrintable(memo->toPlainText());
    main.configWindow()->close();
    main.close();
}

}  // namespace
}  // namespace ombrix::test

// The menus' choices carried out on a real screen and real hosts: backgrounds, the full-screen
// plug-in and visualisations, and plug-ins that fail while the player goes on.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <functional>

#include "PluginFixtures.h"
#include "ombrix/skin/DrawingSurface.h"
#include "ombrix/skin/PanelCommands.h"
#include "ombrix/skin/VisualPlugins.h"

namespace ombrix {
namespace {

const QString kSamples = QStringLiteral(OMBRIX_SAMPLE_PLUGINS);

class VisualPluginsTest : public test::PluginTest {
protected:
    void SetUp() override {
        install("bg", kSamples + "/bg/plasma.so");
        for (const char* p : {"crash_update", "hang_update", "no_update"})
            install("bg", test::testPlugin(p));
        install("full", kSamples + "/full/tunnel.so");
        install("amp", kSamples + "/amp/bars.so");
        install("amp", test::testPlugin("amp_two"));
        QImage bg(220, 80, QImage::Format_Indexed8);
        QList<QRgb> grey;
        for (int i = 0; i < 256; ++i) grey.append(qRgb(i, i, i));
        bg.setColorTable(grey);
        bg.fill(50);
        screen.setDefaultBackground(bg);
        plugins.setScreen(&screen);
        plugins.scan();
    }
    void TearDown() override {
        plugins.unloadAll();
        test::PluginTest::TearDown();
    }
    void install(const char* kind, const QString& file) {
        const QString folder = home_.path() + "/plugin/" + kind;
        QDir().mkpath(folder);
        ASSERT_TRUE(QFile::copy(file, folder + "/" + QFileInfo(file).fileName())) << qPrintable(file);
    }
    /// Ticks as the main window does (the plug-ins, then the screen) until @p done, at most 20 s.
    bool tickUntil(const std::function<bool()>& done) {
        QElapsedTimer t;
        t.start();
        int i = 0;
        while (t.elapsed() < 20000) {
            const int level = ++i % 2 ? 30000 : 3000;
            wave.fill(uint8_t(i * 7));
            spectrum.fill(uint8_t(200));
            plugins.tick({QStringLiteral("Song"), i * 100, level, level, wave.data(),
                          spectrum.data()});
            screen.tick(dpb);
            if (done()) return true;
            QThread::msleep(20);
        }
        return false;
    }
    bool screenIsGrey() const {
        const auto& f = screen.frame();
        return std::all_of(f.begin(), f.begin() + 60 * 220, [](uint8_t p) { return p == 50; });
    }

    PanelCommands commands;
    ScreenDisplay screen{commands};
    DrawingSurface dpb{220, 80, 8};
    QStringList messages;
    VisualPlugins plugins{home_.path(),
                          {[] { return BumpBackground::Light{}; },
                           [this](const QString& m) { messages << m; }}};
    std::array<uint8_t, 2 * 576> wave{};
    std::array<uint8_t, 2 * 576> spectrum{};
};

TEST_F(VisualPluginsTest, EntriesAndCaptionsFollowTheFolders) {
    EXPECT_EQ(plugins.captions(PluginKind::Background),
              (QStringList{"crash_update", "hang_update", "no_update", "plasma"}));
    const QStringList entries = plugins.entries();
    EXPECT_EQ(entries.mid(0, 2), (QStringList{"bg/default", "bg/bump"}));
    EXPECT_TRUE(entries.contains("bg/plasma.so"));
    EXPECT_TRUE(entries.contains("full/tunnel.so"));
    EXPECT_TRUE(entries.contains("amp/amp_two.so"));
    EXPECT_TRUE(plugins.entryPath("full/tunnel.so").endsWith("/plugin/full/tunnel.so"));
    EXPECT_EQ(plugins.entryPath("bg/bump"), "");
    EXPECT_EQ(VisualPlugins::entryKind("amp/bars.so"), PluginKind::Amp);
}

// The default picture, the bump, a plug-in; a plug-in that cannot load, one that crashes and
// one that hangs while drawing: each gives the default picture back with the reason said.
TEST_F(VisualPluginsTest, BackgroundsAndPluginsThatFail) {
    plugins.chooseBackground(5);  // plasma
    EXPECT_EQ(plugins.backgroundIndex(), 5);
    EXPECT_EQ(screen.backgroundMode(), 5);
    EXPECT_TRUE(tickUntil([&] { return !screenIsGrey(); }));
    EXPECT_NE(screen.colorTable().at(0), screen.colorTable().at(255));

    plugins.chooseBackground(1);
    EXPECT_EQ(screen.backgroundMode(), 1);
    EXPECT_EQ(screen.colorTable(), BumpBackground::palette({}));

    plugins.chooseBackground(4);  // no _Update
    EXPECT_EQ(messages.value(0), "Invalid plugin.");
    EXPECT_EQ(plugins.backgroundIndex(), 0);
    EXPECT_EQ(screen.backgroundMode(), 0);

    for (int index : {2, 3}) {  // crashes, hangs
        messages.clear();
        plugins.chooseBackground(index);
        ASSERT_EQ(plugins.backgroundIndex(), index);
        EXPECT_TRUE(tickUntil([&] { return plugins.backgroundIndex() == 0; })) << index;
        EXPECT_EQ(screen.backgroundMode(), 0);
        EXPECT_EQ(messages.size(), 1) << index;
        screen.tick(dpb);
        EXPECT_TRUE(screenIsGrey());
    }

    plugins.chooseBackground(42);  // gone since
    EXPECT_EQ(plugins.backgroundIndex(), 0);
}

TEST_F(VisualPluginsTest, FullScreenAndVisualisations) {
    EXPECT_FALSE(plugins.active());
    ASSERT_TRUE(plugins.openFullScreen(0));
    EXPECT_TRUE(plugins.active());
    const uint8_t* frame = plugins.fullScreenFrame();
    EXPECT_TRUE(tickUntil([&] {
        return std::any_of(frame, frame + 320 * 240, [](uint8_t p) { return p != 0; });
    }));
    EXPECT_EQ(plugins.fullScreenPalette().size(), 256);
    plugins.closeFullScreen();
    EXPECT_FALSE(plugins.active());

    // amp_two has two modules: the chooser is asked; cancelling runs nothing.
    QStringList asked;
    EXPECT_FALSE(plugins.chooseAmp(0, [&](const QStringList& m) {
        asked = m;
        return -1;
    }));
    EXPECT_EQ(asked.size(), 2);
    EXPECT_FALSE(plugins.ampRunning());
    EXPECT_TRUE(plugins.chooseAmp(0, [](const QStringList&) { return 1; }));
    EXPECT_EQ(plugins.ampIndex(), 0);

    // bars has one module: no question.
    bool askedAgain = false;
    ASSERT_TRUE(plugins.chooseAmp(1, [&](const QStringList&) {
        askedAgain = true;
        return 0;
    }));
    EXPECT_FALSE(askedAgain);
    const uint32_t* canvas = plugins.ampCanvas();
    ASSERT_NE(canvas, nullptr);
    EXPECT_TRUE(tickUntil([&] {
        return std::any_of(canvas, canvas + 320 * 240, [](uint32_t p) { return p != 0; });
    }));
    plugins.closeAmp();
    EXPECT_FALSE(plugins.active());
    EXPECT_TRUE(messages.isEmpty()) << messages.join("; ").toStdString();
}

}  // namespace
}  // namespace ombrix

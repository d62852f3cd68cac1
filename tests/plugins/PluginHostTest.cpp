#include <QFile>
#include <QThread>

#include "PluginFixtures.h"
#include "ombrix/skin/PluginHost.h"
#include "support/Files.h"

namespace ombrix {
namespace {

using test::probeValue;
using test::testPlugin;

constexpr int kLimit = 20000;  // a generous bound for a host to answer; never reached when sound

class PluginHostTest : public test::PluginTest {};

TEST_F(PluginHostTest, BackgroundFrameLevelsTimeTitleAndPaletteArrive) {
    PluginHost host(PluginKind::Background);
    QString error;
    ASSERT_TRUE(host.load(testPlugin("probe"), home(), &error)) << qPrintable(error);
    EXPECT_TRUE(host.loaded());
    // The palette the plug-in set while opening is read at load, without the flag.
    EXPECT_EQ(host.palette().size(), 256);
    EXPECT_EQ(host.palette().at(10), qRgb(10, 245, 7));
    EXPECT_FALSE(host.takePaletteChanged());

    host.update(QStringLiteral("Artist – Song"), 61500, 1234, 40000);
    ASSERT_TRUE(host.waitForAnswer(kLimit));
    const uint8_t* f = host.frame();
    EXPECT_EQ(probeValue(f, 0), 1234);
    EXPECT_EQ(probeValue(f, 1), 40000);  // levels above 32767 pass as they are
    EXPECT_EQ(probeValue(f, 2), 61500);
    EXPECT_EQ(probeValue(f, 3), 0);
    EXPECT_EQ(probeValue(f, 4), 220);
    EXPECT_EQ(probeValue(f, 5), 80);
    EXPECT_EQ(QString::fromUtf8(reinterpret_cast<const char*>(f) + 64), "Artist – Song");
    EXPECT_EQ(QString::fromUtf8(reinterpret_cast<const char*>(f) + 192), home());
    EXPECT_EQ(f[79 * 220], 0x7E);
    EXPECT_EQ(f[220 * 80 - 1], 0xAB);

    // A tick collects the answer of the one before and sends the next.
    host.update(QStringLiteral("recolour"), 0, 0, 0);
    ASSERT_TRUE(host.waitForAnswer(kLimit));
    EXPECT_EQ(probeValue(host.frame(), 6), 2);
    EXPECT_TRUE(host.takePaletteChanged());
    EXPECT_FALSE(host.takePaletteChanged());
    EXPECT_EQ(host.palette().at(10), qRgb(10, 245, 99));

    host.update(QString(600, QChar(0x00e9)), 0, 0, 0);  // longer than the record's title copy
    ASSERT_TRUE(host.waitForAnswer(kLimit));
    EXPECT_FALSE(host.takePaletteChanged());
    EXPECT_EQ(probeValue(host.frame(), 7), 510);  // 255 two-byte characters: cut between them

    host.unload();
    EXPECT_FALSE(host.loaded());
}

TEST_F(PluginHostTest, FullScreenRecordIs320By240) {
    PluginHost host(PluginKind::FullScreen);
    ASSERT_TRUE(host.load(testPlugin("probe"), home(), nullptr));
    host.update(QString(), 5, 0, 0);
    ASSERT_TRUE(host.waitForAnswer(kLimit));
    EXPECT_EQ(probeValue(host.frame(), 4), 320);
    EXPECT_EQ(probeValue(host.frame(), 5), 240);
    EXPECT_EQ(host.frame()[239 * 320], 0x7E);
}

TEST_F(PluginHostTest, PaletteChangedWithoutTheFlagKeepsThePaletteReadAtLoad) {
    PluginHost host(PluginKind::Background);
    ASSERT_TRUE(host.load(testPlugin("never_flags"), home(), nullptr));
    for (int i = 0; i < 3; ++i) {
        host.update(QString(), 0, 0, 0);
        ASSERT_TRUE(host.waitForAnswer(kLimit));
    }
    EXPECT_EQ(host.frame()[0], 5);
    EXPECT_FALSE(host.takePaletteChanged());
    EXPECT_EQ(host.palette().at(200), qRgb(200, 200, 200));
}

TEST_F(PluginHostTest, DecoratedNamesAloneLoad) {
    PluginHost host(PluginKind::Background);
    ASSERT_TRUE(host.load(testPlugin("decorated"), home(), nullptr));
    host.update(QString(), 0, 0, 0);
    ASSERT_TRUE(host.waitForAnswer(kLimit));
    EXPECT_EQ(host.frame()[0], 42);
}

TEST_F(PluginHostTest, LibrariesThatCannotBeOpenedAreRefusedAndTheNextLoads) {
    const QString text = home() + "text.so";
    test::writeFile(text, "This is a text file, not a shared object.\n");
    PluginHost host(PluginKind::Background);
    for (const QString& path : {text, testPlugin("no_update"), home() + "missing.so"}) {
        QString error;
        EXPECT_FALSE(host.load(path, home(), &error)) << qPrintable(path);
        EXPECT_EQ(error, "Invalid plugin.");
        EXPECT_FALSE(host.loaded());
    }
    // The plug-in without _Update was released without being opened.
    EXPECT_FALSE(QFile::exists(home() + "opened"));
    ASSERT_TRUE(host.load(testPlugin("probe"), home(), nullptr));
    host.update(QString(), 0, 7, 7);
    ASSERT_TRUE(host.waitForAnswer(kLimit));
    EXPECT_EQ(probeValue(host.frame(), 0), 7);
}

TEST_F(PluginHostTest, CrashWhileOpeningFailsTheLoad) {
    PluginHost host(PluginKind::Background);
    QString error;
    EXPECT_FALSE(host.load(testPlugin("crash_open"), home(), &error));
    EXPECT_EQ(error, "Invalid plugin.");
    EXPECT_TRUE(host.failed());
    EXPECT_EQ(host.failure(), "plug-in crashed");
    host.update(QString(), 0, 0, 0);  // harmless on a failed host
    EXPECT_TRUE(host.load(testPlugin("minimal"), home(), &error));
    EXPECT_FALSE(host.failed());
}

TEST_F(PluginHostTest, CrashWhileDrawingIsReportedAndTheLastFrameKept) {
    PluginHost host(PluginKind::Background);
    ASSERT_TRUE(host.load(testPlugin("crash_update"), home(), nullptr));
    host.update(QString(), 0, 0, 0);
    ASSERT_TRUE(host.waitForAnswer(kLimit));
    host.update(QString(), 0, 0, 0);
    EXPECT_FALSE(host.waitForAnswer(kLimit));
    EXPECT_TRUE(host.failed());
    EXPECT_FALSE(host.loaded());
    EXPECT_EQ(host.failure(), "plug-in crashed");
    EXPECT_EQ(host.frame()[0], 9);
    host.update(QString(), 0, 0, 0);
    host.unload();
    ASSERT_TRUE(host.load(testPlugin("minimal"), home(), nullptr));
    host.update(QString(), 0, 0, 0);
    EXPECT_TRUE(host.waitForAnswer(kLimit));
}

TEST_F(PluginHostTest, TickCollectsACrashWithoutWaiting) {
    PluginHost host(PluginKind::Background);
    ASSERT_TRUE(host.load(testPlugin("crash_update"), home(), nullptr));
    host.update(QString(), 0, 0, 0);
    ASSERT_TRUE(host.waitForAnswer(kLimit));
    // Ticks keep coming, at the screen's pace, while the host dies; one of them sees it.
    EXPECT_TRUE(test::waitFor(
        [&] {
            host.update(QString(), 0, 0, 0);
            QThread::msleep(100);
            return host.failed();
        },
        kLimit));
    EXPECT_EQ(host.failure(), "plug-in crashed");
}

TEST_F(PluginHostTest, HangingUpdateIsKilledAfterTenTicksWithoutAnAnswer) {
    PluginHost host(PluginKind::Background);
    ASSERT_TRUE(host.load(testPlugin("hang_update"), home(), nullptr));
    for (int tick = 1; tick <= PluginHost::kMissedTicks; ++tick) {
        host.update(QString(), 0, 0, 0);
        ASSERT_FALSE(host.failed()) << "tick " << tick;
    }
    host.update(QString(), 0, 0, 0);
    EXPECT_TRUE(host.failed());
    EXPECT_EQ(host.failure(), "plug-in stopped responding");
    ASSERT_TRUE(host.load(testPlugin("probe"), home(), nullptr));
    EXPECT_TRUE(host.loaded());
}

TEST_F(PluginHostTest, UnloadingAHangingPluginEnds) {
    PluginHost host(PluginKind::FullScreen);
    ASSERT_TRUE(host.load(testPlugin("hang_update"), home(), nullptr));
    host.update(QString(), 0, 0, 0);
    host.unload();  // _Close never runs: the host is killed after its time
    EXPECT_FALSE(host.loaded());
}

TEST_F(PluginHostTest, DescriptionAndSettingsRunInAHostOfTheirOwn) {
    EXPECT_EQ(PluginHost::description(PluginKind::Background, testPlugin("probe")),
              "Probe\nline two");
    EXPECT_EQ(PluginHost::description(PluginKind::Background, testPlugin("minimal")), "");
    EXPECT_EQ(PluginHost::description(PluginKind::Background, testPlugin("crash_open")), "");
    EXPECT_EQ(PluginHost::description(PluginKind::Amp, testPlugin("amp_two")), "First\nSecond");

    EXPECT_FALSE(PluginHost::configure(PluginKind::Background, testPlugin("minimal"), home()));
    EXPECT_FALSE(PluginHost::configure(PluginKind::Background, home() + "none.so", home()));
    ASSERT_TRUE(PluginHost::configure(PluginKind::Background, testPlugin("probe"), home()));
    // The settings run on after the call returns, in a process that is not ours to reap.
    EXPECT_TRUE(test::waitFor([&] { return QFile::exists(home() + "configured-220x80"); }, kLimit));

    EXPECT_TRUE(PluginHost::configure(PluginKind::Amp, testPlugin("amp_two"), home(), 1));
    EXPECT_FALSE(PluginHost::configure(PluginKind::Amp, testPlugin("amp_two"), home(), 0));
}

}  // namespace
}  // namespace ombrix

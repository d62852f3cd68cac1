// The equaliser window driven by Qt Test events, with its settings in a real home folder.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QImage>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <memory>

#include "EffectsFakes.h"
#include "ombrix/settings/IniDocument.h"
#include "ombrix/settings/SettingsStore.h"
#include "ombrix/windows/effects/EqualizerWindow.h"

namespace ombrix::test {
namespace {

class EqualizerWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        store = std::make_unique<SettingsStore>(Home(home.path()), ProcessorFeatures{});
    }
    void writeMain(const QStringList& lines) {
        IniDocument::parse(lines).save(store->mainIniPath());
    }
    bool flat() const {
        for (float g : sink.bands)
            if (g != 1.0f) return false;
        return true;
    }

    QTemporaryDir home;
    std::unique_ptr<SettingsStore> store;
    RecordingEqualizer sink;
};

TEST_F(EqualizerWindowTest, CreationSendsTheStoredCurveAndDestructionStoresTheSliders) {
    writeMain({"[feq]", "ScrollBar2=250", "ScrollBar16=1000", "[form]", "feqleft=40", "feqtop=30"});
    auto eq = std::make_unique<EqualizerWindow>(*store, sink);
    EXPECT_EQ(eq->windowTitle(), "16 bands equalizer");
    EXPECT_EQ(sink.calls.size(), 16u * 32u) << "each slider's change sends the whole curve";
    EXPECT_EQ(eq->curve().position(2), 250);
    EXPECT_EQ(eq->slider(2)->value(), 750) << "shown upside down";
    EXPECT_FLOAT_EQ(sink.bands[2], 1.5f);
    EXPECT_FLOAT_EQ(sink.bands[3], 1.5f);
    EXPECT_FLOAT_EQ(sink.bands[31], 0.0f);
    EXPECT_EQ(eq->pos(), QPoint(40, 30));

    eq->setPosition(5, 900);
    eq->move(60, 70);
    eq->show();
    QTest::mouseClick(eq->findChild<QPushButton*>("btnok"), Qt::LeftButton);
    EXPECT_FALSE(eq->isVisible()) << "ok closes the window";
    EXPECT_EQ(store->readMain().readInteger("feq", "ScrollBar5", -1), 900) << "stored at close";
    eq->setPosition(5, 901);
    eq.reset();
    const IniDocument ini = store->readMain();
    EXPECT_EQ(ini.readInteger("feq", "ScrollBar5", -1), 901) << "and at destruction";
    EXPECT_EQ(ini.readInteger("feq", "ScrollBar2", -1), 250);
    EXPECT_EQ(ini.readInteger("feq", "ScrollBar1", -1), 500);
    EXPECT_EQ(ini.readInteger("form", "feqleft", -1), 60);
    EXPECT_EQ(ini.readInteger("form", "feqtop", -1), 70);
}

TEST_F(EqualizerWindowTest, DefaultSendsSixteenFullCurvesAndLeavesEveryBandFlat) {
    writeMain({"[feq]", "ScrollBar1=0", "ScrollBar8=700", "ScrollBar16=1000"});
    EqualizerWindow eq(*store, sink);
    ASSERT_FALSE(flat());
    sink.calls.clear();
    auto* button = eq.findChild<QPushButton*>("btndefault");
    ASSERT_TRUE(button);
    EXPECT_EQ(button->text(), "default");
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(sink.calls.size(), 16u * 32u);
    EXPECT_TRUE(flat());
    for (int n = 1; n <= 16; ++n) EXPECT_EQ(eq.curve().position(n), 500) << n;
}

TEST_F(EqualizerWindowTest, UpwardsOnASliderRaisesItsBandsAndSendsTheCurve) {
    EqualizerWindow eq(*store, sink);
    eq.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&eq));
    QSlider* s = eq.slider(4);
    EXPECT_EQ(s->minimum(), 0);
    EXPECT_EQ(s->maximum(), 1000);
    EXPECT_EQ(s->pageStep(), 10);
    sink.calls.clear();

    // A click on the groove above the handle moves it one page towards the top.
    QTest::mouseClick(s, Qt::LeftButton, {}, QPoint(s->width() / 2, 2));
    EXPECT_EQ(eq.curve().position(4), 490);
    EXPECT_EQ(sink.calls.size(), 32u);
    EXPECT_GT(sink.bands[6], 1.0f);
    EXPECT_FLOAT_EQ(sink.bands[7], EqualizerCurve::gainFor(490));

    QTest::keyClick(s, Qt::Key_Up);
    EXPECT_LT(eq.curve().position(4), 490) << "the up key raises the gain as well";
    QTest::mouseClick(s, Qt::LeftButton, {}, QPoint(s->width() / 2, s->height() - 2));
    QTest::mouseClick(s, Qt::LeftButton, {}, QPoint(s->width() / 2, s->height() - 2));
    EXPECT_GT(eq.curve().position(4), 500) << "the bottom of the groove lowers the gain";
    EXPECT_LT(sink.bands[6], 1.0f);
}

TEST_F(EqualizerWindowTest, TenBandsAreChosenInTheWindowReachTheSinkAndAreStoredAtOnce) {
    auto eq = std::make_unique<EqualizerWindow>(*store, sink);
    EXPECT_EQ(eq->mode(), EqualizerMode::Subbands) << "a fresh start keeps the subbands";
    for (float g : sink.octaves) EXPECT_EQ(g, 0.0f) << "the octave bands start flat";
    eq->setPosition(3, 1000);  // a subband curve that must not be heard with octaves chosen
    eq->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(eq.get()));

    auto* mode = eq->findChild<QComboBox*>("eqmode");
    ASSERT_TRUE(mode);
    sink.calls.clear();
    QTest::keyClick(mode, Qt::Key_Down);  // "16 subbands" -> "10 bands"
    EXPECT_EQ(mode->currentText(), "10 bands");
    EXPECT_EQ(eq->mode(), EqualizerMode::Octaves);
    EXPECT_EQ(eq->windowTitle(), "10 bands equalizer");
    EXPECT_EQ(sink.calls.size(), 32u);
    EXPECT_TRUE(flat()) << "the decoder's equaliser is left flat";
    EXPECT_EQ(store->readMain().readInteger("feq", "eqmode", -1), 1) << "the choice is stored";

    QSlider* oneK = eq->octaveSlider(5);
    ASSERT_TRUE(oneK);
    EXPECT_EQ(oneK->objectName(), "eqband5");
    EXPECT_EQ(oneK->minimum(), -12);
    EXPECT_EQ(oneK->maximum(), 12);
    sink.octaveCalls.clear();
    QTest::keyClick(oneK, Qt::Key_PageDown);
    QTest::keyClick(oneK, Qt::Key_PageDown);
    QTest::keyClick(oneK, Qt::Key_Down);
    EXPECT_EQ(eq->octaves().gainDb(5), -7);
    ASSERT_FALSE(sink.octaveCalls.empty());
    EXPECT_EQ(sink.octaveCalls.back(), std::make_pair(5, -7.0f)) << "each move reaches the sink";
    eq->setOctaveGain(0, 40);
    EXPECT_EQ(sink.octaves[0], 12.0f) << "clamped to the slider's range";
    eq->setPosition(8, 0);
    EXPECT_TRUE(flat()) << "subband sliders are not heard while octaves are chosen";

    QTest::mouseClick(eq->findChild<QPushButton*>("btnok"), Qt::LeftButton);
    const IniDocument ini = store->readMain();
    EXPECT_EQ(ini.readInteger("feq", "eqband5", 99), -7);
    EXPECT_EQ(ini.readInteger("feq", "eqband0", 99), 12);
    EXPECT_EQ(ini.readInteger("feq", "ScrollBar3", -1), 1000) << "the subband curve is kept";
    eq.reset();

    // The next start shows and sends what was stored.
    RecordingEqualizer again;
    EqualizerWindow restarted(*store, again);
    EXPECT_EQ(restarted.mode(), EqualizerMode::Octaves);
    EXPECT_EQ(restarted.findChild<QComboBox*>("eqmode")->currentIndex(), 1);
    EXPECT_EQ(restarted.octaveSlider(5)->value(), -7);
    EXPECT_EQ(restarted.octaveSlider(0)->value(), 12);
    EXPECT_EQ(again.octaves[5], -7.0f);
    EXPECT_EQ(again.octaves[0], 12.0f);
    for (float g : again.bands) EXPECT_EQ(g, 1.0f);
    EXPECT_EQ(restarted.curve().position(3), 1000);
}

TEST_F(EqualizerWindowTest, BackToSubbandsSendsTheirCurveAndFlattensTheOctaves) {
    writeMain({"[feq]", "eqmode=1", "eqband2=6", "eqband9=-12", "ScrollBar1=0"});
    EqualizerWindow eq(*store, sink);
    EXPECT_EQ(sink.octaves[2], 6.0f);
    EXPECT_FLOAT_EQ(sink.bands[0], 1.0f);

    eq.setMode(EqualizerMode::Subbands);
    EXPECT_EQ(eq.windowTitle(), "16 bands equalizer");
    EXPECT_FLOAT_EQ(sink.bands[0], 2.0f) << "the stored subband curve is heard again";
    for (float g : sink.octaves) EXPECT_EQ(g, 0.0f);
    EXPECT_EQ(eq.octaves().gainDb(2), 6) << "the octave curve is kept for later";
    EXPECT_EQ(store->readMain().readInteger("feq", "eqmode", -1), 0);

    // "flat" puts every octave band at 0 dB and stores it.
    eq.setMode(EqualizerMode::Octaves);
    EXPECT_EQ(sink.octaves[9], -12.0f);
    auto* flatButton = eq.findChild<QPushButton*>("btnflat");
    ASSERT_TRUE(flatButton);
    QTest::mouseClick(flatButton, Qt::LeftButton);
    for (float g : sink.octaves) EXPECT_EQ(g, 0.0f);
    EXPECT_TRUE(eq.octaves().isFlat());
    EXPECT_EQ(store->readMain().readInteger("feq", "eqband9", 99), 0);
}

// Pictures of both modes for a look by eye; taken only when OMBRIX_EQ_SHOTS names a folder.
TEST_F(EqualizerWindowTest, ScreenshotsOfBothModes) {
    const char* folder = std::getenv("OMBRIX_EQ_SHOTS");
    if (folder == nullptr) GTEST_SKIP() << "OMBRIX_EQ_SHOTS is not set";
    writeMain({"[feq]", "eqband0=6", "eqband1=4", "eqband5=-7", "eqband9=9", "ScrollBar2=300",
               "ScrollBar12=800"});
    EqualizerWindow eq(*store, sink);
    eq.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&eq));
    EXPECT_TRUE(eq.grab().save(QString::fromLocal8Bit(folder) + "/eq-16band.png"));
    eq.setMode(EqualizerMode::Octaves);
    QTest::qWait(50);
    EXPECT_TRUE(eq.grab().save(QString::fromLocal8Bit(folder) + "/eq-10band.png"));
}

}  // namespace
}  // namespace ombrix::test

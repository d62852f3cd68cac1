// The equaliser window driven by Qt Test events, with its settings in a real home folder.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
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

}  // namespace
}  // namespace ombrix::test

// The DJ control window over a recording desk and a real playback controller (real decoder on
// SDL's dummy driver), with its files in a real home folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

#include "EffectsFakes.h"
#include "ombrix/control/PlaybackController.h"
#include "ombrix/effects/MixoraDesk.h"
#include "ombrix/media/EntryResolver.h"
#include "ombrix/media/MediaIdentifier.h"
#include "ombrix/media/TempRegister.h"
#include "ombrix/settings/IniDocument.h"
#include "ombrix/settings/SettingsStore.h"
#include "ombrix/windows/effects/DjWindow.h"
#include "ombrix/windows/effects/EqualizerWindow.h"
#include "support/ControllerRig.h"
#include "support/FakeMixer.h"
#include "support/Files.h"

namespace ombrix::test {
namespace {

class DjControlWindowTest : public ::testing::Test, protected ControllerRig {
protected:
    DjControlWindowTest() : ControllerRig({".mp3", ".mp2", ".wav"}, ProcessorFeatures{}) {}
    void SetUp() override { QDir(home.path()).mkpath("fx"); }
    void TearDown() override {
        window.reset();
        controller->setMixer(nullptr);
    }
    DjWindow& open() {
        window = std::make_unique<DjWindow>(*store, *controller, desk);
        return *window;
    }
    template <typename T>
    T* find(const char* name) {
        T* w = window->findChild<T*>(name);
        EXPECT_TRUE(w) << name;
        return w;
    }
    QString fx(const QString& name) const { return home.filePath("fx/" + name); }
    /// The mixer levels sent since the last call, as volumes 0..127.
    std::vector<int> levels() {
        std::vector<int> out;
        for (const auto& [left, right] : mixer.calls) out.push_back(left / 512);
        mixer.calls.clear();
        return out;
    }
    /// Clicks a check box on its indicator (its middle may lie beyond its text).
    static void click(QCheckBox* box) {
        ASSERT_TRUE(box);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->height() / 2, box->height() / 2));
    }
    void useMixer() {
        store->change([](PlayerSettings& s) { s.usemixer = true; });
        mixer.devices = 1;
        ASSERT_TRUE(mixer.open(0, 0, 0));
        controller->setMixer(&mixer);
    }

    FakeMixer mixer;
    RecordingDesk desk;
    std::unique_ptr<DjWindow> window;
};

TEST_F(DjControlWindowTest, EveryControlSendsItsValueAsTheEngineTakesIt) {
    open();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    EXPECT_EQ(window->windowTitle(), "DJ control");
    EXPECT_TRUE(desk.calls.isEmpty()) << "no lasttime.ini yet: nothing to send";
    click(find<QCheckBox>("reverb"));
    find<QSlider>("scrollreverbamount")->setValue(16384);
    find<QSlider>("scrolldelayfeed")->setValue(32767);
    find<QSlider>("scrolldelaypan")->setValue(-100);
    click(find<QCheckBox>("cancelvocal"));
    click(find<QCheckBox>("chkloop3"));
    find<QSlider>("scrollvolume2")->setValue(1000);
    find<QSlider>("scrollpan8")->setValue(-32768);
    EXPECT_EQ(desk.calls, (QStringList{"enableReverb", "reverbScale 8192", "delayFeed 32767",
                                       "delayPan -100", "cancelVocal 1", "sampleLoop 3 1",
                                       "sampleVolume 1 1000", "samplePan 7 -32768"}));
}

TEST_F(DjControlWindowTest, PitchDefaultButtonReturnsToNormalSpeed) {
    open();
    QSlider* pitch = find<QSlider>("scrollpitch");
    EXPECT_EQ(pitch->minimum(), 500);
    EXPECT_EQ(pitch->maximum(), 2000);
    EXPECT_EQ(pitch->value(), 1000);
    pitch->setValue(1500);
    EXPECT_EQ(desk.calls.last(), "pitch 98304");
    QTest::mouseClick(find<QPushButton>("Button1"), Qt::LeftButton);
    EXPECT_EQ(pitch->value(), 1000);
    EXPECT_EQ(desk.calls.last(), "pitch 65536");
}

TEST_F(DjControlWindowTest, PresetRoundTripGivesTheSameControlsAndTheSameEngineCalls) {
    IniDocument::parse({"[soundoption]", "scrollreverb=64"}).save(fx("bare.ini"));
    open();
    click(find<QCheckBox>("delay"));
    find<QSlider>("scrolldelay")->setValue(4321);
    find<QSlider>("scrollreverbdecay")->setValue(9000);
    click(find<QCheckBox>("surround"));
    const EffectorSettings saved = window->effectorSettings();
    window->saveEffectorSettings(fx("club.ini"));
    window->refreshPresets();
    QComboBox* presets = find<QComboBox>("ComboBox1");
    ASSERT_EQ(presets->count(), 2);
    EXPECT_EQ(presets->itemText(0), "bare");
    EXPECT_EQ(presets->itemText(1), "club");

    // Choosing "bare" (no reverb, delay or surround keys) sets the defaults, held to the ranges.
    desk.calls.clear();
    presets->setFocus();
    QTest::keyClick(presets, Qt::Key_Home);
    EXPECT_EQ(presets->currentText(), "bare");
    EXPECT_FALSE(find<QCheckBox>("delay")->isChecked());
    EXPECT_EQ(find<QSlider>("scrollreverb")->value(), 64);
    EXPECT_EQ(find<QSlider>("scrollreverbdecay")->value(), 200);
    EXPECT_EQ(desk.calls.size(), 11);

    desk.calls.clear();
    QTest::keyClick(presets, Qt::Key_Down);
    EXPECT_EQ(presets->currentText(), "club");
    EXPECT_EQ(window->effectorSettings(), saved);
    RecordingDesk expected;
    saved.applyTo(expected);
    EXPECT_EQ(desk.calls, expected.calls) << "every control reaches the engine, changed or not";
    desk.calls.clear();
    ASSERT_TRUE(window->loadEffectorSettings(fx("club.ini")));
    EXPECT_EQ(desk.calls, expected.calls);

    desk.calls.clear();
    EXPECT_FALSE(window->loadEffectorSettings(fx("gone.ini")));
    EXPECT_TRUE(desk.calls.isEmpty());
    EXPECT_EQ(window->effectorSettings(), saved);
}

TEST_F(DjControlWindowTest, LastTimeIsSavedAtCloseAndRestoredAtTheNextCreation) {
    open();
    click(find<QCheckBox>("reverb"));
    find<QSlider>("scrollreverb")->setValue(17);
    find<QSpinBox>("SpinEdit1")->setValue(3);
    find<QSpinBox>("SpinEdit2")->setValue(9);
    click(find<QCheckBox>("chkFadeIn"));
    window->show();
    window->close();
    ASSERT_TRUE(QFile::exists(fx("lasttime.ini")));
    const IniDocument ini = store->readMain();
    EXPECT_EQ(ini.readInteger("djcontrol", "spinedit1", -1), 3);
    EXPECT_EQ(ini.readInteger("djcontrol", "spinedit2", -1), 9);
    EXPECT_TRUE(ini.readBool("djcontrol", "chkfadein", false));
    EXPECT_TRUE(ini.hasKey("form", "djcontrolleft"));
    const EffectorSettings closed = window->effectorSettings();
    window.reset();

    desk.calls.clear();
    open();
    EXPECT_EQ(window->effectorSettings(), closed);
    EXPECT_EQ(find<QSpinBox>("SpinEdit1")->value(), 3);
    EXPECT_EQ(find<QSpinBox>("SpinEdit2")->value(), 9);
    EXPECT_TRUE(find<QCheckBox>("chkFadeIn")->isChecked());
    EXPECT_EQ(find<QComboBox>("ComboBox1")->currentText(), "lasttime");
    RecordingDesk expected;
    closed.applyTo(expected);
    EXPECT_EQ(desk.calls, expected.calls);
}

TEST_F(DjControlWindowTest, PadButtonsWaitForALoadedSample) {
    open();
    QPushButton* play = find<QPushButton>("btnplay3");
    QPushButton* stop = find<QPushButton>("btnstop3");
    EXPECT_FALSE(play->isEnabled());
    EXPECT_FALSE(stop->isEnabled());

    desk.loadSucceeds = false;
    EXPECT_FALSE(window->loadPad(2, "/nowhere/noise.wav"));
    EXPECT_FALSE(play->isEnabled());
    EXPECT_FALSE(stop->isEnabled());
    EXPECT_TRUE(find<QLabel>("padmessage")->text().contains("noise.wav"));

    desk.loadSucceeds = true;
    ASSERT_TRUE(window->loadPad(2, "/samples/horn.wav"));
    EXPECT_TRUE(play->isEnabled());
    EXPECT_TRUE(stop->isEnabled());
    EXPECT_EQ(play->toolTip(), "/samples/horn.wav");
    EXPECT_TRUE(find<QLabel>("padmessage")->text().isEmpty());
    QTest::mouseClick(play, Qt::LeftButton);
    QTest::mouseClick(stop, Qt::LeftButton);
    EXPECT_EQ(desk.calls.mid(desk.calls.size() - 2), (QStringList{"playSample 2", "stopSample 2"}));

    desk.loadSucceeds = false;
    EXPECT_FALSE(window->loadPad(2, "/nowhere/other.wav"));
    EXPECT_TRUE(play->isEnabled()) << "the pad keeps the sample it had";
}

/// Answers the next file dialog: checks its title, then picks @p file (empty: cancels).
void answerDialog(const QString& title, const QString& file) {
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        EXPECT_EQ(dialog->windowTitle(), title);
        if (file.isEmpty()) return dialog->reject();
        dialog->selectFile(file);
        static_cast<QDialog*>(dialog)->accept();  // the file dialog's own accept
    });
}

TEST_F(DjControlWindowTest, DialogsSaveAPresetWithItsExtensionAndAssignAPad) {
    open();
    answerDialog("Save Effector Setting", fx("party"));
    QTest::mouseClick(find<QPushButton>("btnsavefx"), Qt::LeftButton);
    EXPECT_TRUE(QFile::exists(fx("party.ini")));
    EXPECT_EQ(find<QComboBox>("ComboBox1")->findText("party"), 0) << "listed at once";

    answerDialog("assign patch to bank 2", {});
    QTest::mouseClick(find<QPushButton>("btnload2"), Qt::LeftButton);
    EXPECT_TRUE(desk.calls.isEmpty()) << "cancelled: nothing changes";
    writeFile(fx("horn.wav"), "RIFF");
    answerDialog("assign patch to bank 2", fx("horn.wav"));
    QTest::mouseClick(find<QPushButton>("btnload2"), Qt::LeftButton);
    EXPECT_EQ(desk.calls, QStringList{"loadSample 1 " + fx("horn.wav")});
    EXPECT_TRUE(find<QPushButton>("btnplay2")->isEnabled());
}

TEST(MixoraDeskTest, TheEngineRefusesAFileThatIsNoWave) {
    QTemporaryDir dir;
    writeFile(dir.filePath("fake.wav"), "this is not a RIFF file");
    MixoraDesk desk;
    EXPECT_FALSE(desk.loadSample(0, dir.filePath("fake.wav")));
    EXPECT_FALSE(desk.loadSample(0, dir.filePath("missing.wav")));
}

TEST_F(DjControlWindowTest, OneSecondFadeOutSendsTenFallingLevelsThenEndsTheSong) {
    OMBRIX_NEED_MEDIA();
    useMixer();
    controller->setVolume(127);
    controller->setPlaylist({media().mp3Long, media().mp3Short});
    controller->playEntry(0);
    ASSERT_TRUE(controller->state().playing);
    open();
    find<QSpinBox>("SpinEdit1")->setValue(1);
    levels();
    QTest::mouseClick(find<QPushButton>("Button2"), Qt::LeftButton);
    for (int i = 0; i < 12; ++i) controller->tickFade();
    // 127 - 127 k / 10 in integer arithmetic, k = 0..9.
    EXPECT_EQ(levels(), (std::vector<int>{127, 115, 102, 89, 77, 64, 51, 39, 26, 13}));
    // The song counts as finished: the next 500 ms tick moves on, without the pause between
    // songs.
    clock.advance(500);
    controller->tick500();
    EXPECT_EQ(controller->currentIndex(), 1);
    EXPECT_TRUE(controller->state().playing);
    EXPECT_FALSE(controller->state().sleeping);
    EXPECT_EQ(levels(), (std::vector<int>{127})) << "the next song is at the user's volume";
    controller->stop();
}

TEST_F(DjControlWindowTest, FadeInCheckBoxFadesEverySongThatStarts) {
    OMBRIX_NEED_MEDIA();
    useMixer();
    controller->setVolume(127);
    controller->setPlaylist({media().mp3Long});
    open();
    find<QSpinBox>("SpinEdit2")->setValue(1);
    click(find<QCheckBox>("chkFadeIn"));
    controller->playEntry(0);
    ASSERT_TRUE(controller->state().playing);
    levels();
    for (int i = 0; i < 12; ++i) controller->tickFade();
    // From silence at the start to the user's volume at the end.
    EXPECT_EQ(levels(), (std::vector<int>{0, 12, 25, 38, 50, 63, 76, 88, 101, 114, 127}));
    controller->stop();
    EXPECT_TRUE(levels().empty());

    // A stop in the middle of a fade-in brings the volume back.
    controller->playEntry(0);
    for (int i = 0; i < 3; ++i) controller->tickFade();
    levels();
    controller->stop();
    EXPECT_EQ(levels(), (std::vector<int>{127}));

    click(find<QCheckBox>("chkFadeIn"));
    controller->playEntry(0);
    ASSERT_TRUE(controller->state().playing);
    for (int i = 0; i < 5; ++i) controller->tickFade();
    EXPECT_TRUE(levels().empty()) << "fade-in off: the song starts at the volume as it is";
    controller->stop();
}

// The effects are mixed in only while "fx" is on: switching one on brings fx on with it, and
// the window says so; loading a preset leaves fx as the user set it.
TEST_F(DjControlWindowTest, SwitchingAnEffectOnSwitchesFxOn) {
    open();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    auto* note = find<QLabel>("fxnote");
    ASSERT_TRUE(note);
    EXPECT_TRUE(note->isVisible());
    EXPECT_EQ(note->text(), "Effects are heard while fx is on.");

    for (const char* name : {"reverb", "delay", "surround", "cancelvocal"}) {
        SCOPED_TRACE(name);
        controller->setEffectsEnabled(false);
        click(find<QCheckBox>(name));
        EXPECT_TRUE(find<QCheckBox>(name)->isChecked());
        EXPECT_TRUE(controller->state().effects);
        EXPECT_TRUE(store->settings().enablefx1);
        click(find<QCheckBox>(name));  // switching it off again leaves fx alone
        EXPECT_TRUE(controller->state().effects);
    }

    controller->setEffectsEnabled(false);
    EffectorSettings preset;
    preset.reverb = preset.surround = true;
    preset.save(fx("loud.ini"));
    ASSERT_TRUE(window->loadEffectorSettings(fx("loud.ini")));
    EXPECT_TRUE(find<QCheckBox>("reverb")->isChecked());
    EXPECT_FALSE(controller->state().effects);
}

// Both windows as a user sees them, saved for a look and checked for their controls.
TEST_F(DjControlWindowTest, ScreenshotsShowEveryControl) {
    open();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (w->objectName().isEmpty() || w->objectName().startsWith("qt_")) continue;
        EXPECT_TRUE(w->isVisible()) << w->objectName().toStdString();
        EXPECT_FALSE(w->geometry().isEmpty()) << w->objectName().toStdString();
    }
    QDir().mkpath(OMBRIX_SHOT_DIR);
    EXPECT_TRUE(window->grab().save(QStringLiteral(OMBRIX_SHOT_DIR "/djcontrol.png")));

    RecordingEqualizer sink;
    EqualizerWindow eq(*store, sink);
    eq.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&eq));
    for (int n = 1; n <= 16; ++n) {
        auto* s = eq.findChild<QSlider*>("ScrollBar" + QString::number(n));
        ASSERT_TRUE(s) << n;
        EXPECT_TRUE(s->isVisible());
        EXPECT_GE(s->height(), 100) << "sliders are tall enough to use";
    }
    EXPECT_TRUE(eq.findChild<QPushButton*>("btndefault")->isVisible());
    EXPECT_TRUE(eq.findChild<QPushButton*>("btnok")->isVisible());
    EXPECT_TRUE(eq.grab().save(QStringLiteral(OMBRIX_SHOT_DIR "/feq.png")));
}

}  // namespace
}  // namespace ombrix::test

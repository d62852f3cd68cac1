// The configuration window driven by Qt Test events: filled on creation, "ok" applies what the
// controls show, "cancel" drops it; and, with OMBRIX_CONFIG_SHOTS set, a picture of each page.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "ombrix/settings/IniDocument.h"
#include "ombrix/settings/SettingsStore.h"
#include "ombrix/windows/config/ConfigWindow.h"
#include "support/Files.h"

namespace ombrix::test {
namespace {

class ConfigWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(home.filePath("resource/media.ini"),
                  "[MPEG audio]\r\next=*.mp3;*.mp2;\r\nicon=none\r\nassociate=2\r\n");
        writeFile(home.filePath("ombrix player.ini"), "[keybind]\r\nwkeystop=200\r\n");
        store = std::make_unique<SettingsStore>(Home(home.path()), ProcessorFeatures{});
        store->loadOptions();
        store->loadSettings();
    }
    std::unique_ptr<ConfigWindow> open(ConfigWindow::Hooks hooks = {}) {
        auto w = std::make_unique<ConfigWindow>(
            *store, FileAssociations(xdg.filePath("config"), xdg.filePath("data"), "ombrix"),
            std::move(hooks));
        w->show();
        return w;
    }
    template <class T>
    static T* find(QWidget& w, const char* name) {
        T* child = w.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    QTemporaryDir home;
    QTemporaryDir xdg;
    std::unique_ptr<SettingsStore> store;
};

TEST_F(ConfigWindowTest, OkAppliesWhatTheControlsShowAndCancelDropsIt) {
    auto w = open();
    EXPECT_EQ(w->windowTitle(), "Config");
    EXPECT_EQ(find<QLabel>(*w, "imglogo")->text(), "Logo image was not found.");
    auto* device = find<QComboBox>(*w, "combowaveout");
    EXPECT_EQ(device->itemText(0), "assign free device");
    EXPECT_EQ(device->currentIndex(), 0) << "waveoutid -1";
    EXPECT_FALSE(find<QCheckBox>(*w, "chks0")->isEnabled());
    EXPECT_FALSE(find<QCheckBox>(*w, "chks0")->toolTip().isEmpty());
    EXPECT_TRUE(find<QCheckBox>(*w, "chksilence")->isChecked()) << "dontsleep 0";
    EXPECT_EQ(find<QComboBox>(*w, "sc3")->currentText(), "(code 200)");
    EXPECT_EQ(find<QComboBox>(*w, "sc1")->currentText(), "SPACE");
    EXPECT_TRUE(find<QCheckBox>(*w, "chkexp2")->isChecked()) << "flags 2";

    find<QCheckBox>(*w, "chkvu")->setChecked(false);
    find<QSpinBox>(*w, "spinlabelsleft2")->setValue(100);
    QTest::mouseClick(find<QPushButton>(*w, "btncancel"), Qt::LeftButton);
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(store->settings().enablevu);
    EXPECT_EQ(store->settings().labelsleft[2], 140);
    w.reset();

    w = open();
    EXPECT_TRUE(find<QCheckBox>(*w, "chkvu")->isChecked()) << "filled anew from the settings";
    find<QCheckBox>(*w, "chkvu")->setChecked(false);
    find<QCheckBox>(*w, "chksilence")->setChecked(false);
    find<QComboBox>(*w, "sc1")->setCurrentText("F5");
    find<QCheckBox>(*w, "chks3")->setChecked(false);
    QTest::mouseClick(find<QPushButton>(*w, "btnok"), Qt::LeftButton);
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(w->lastProblems().isEmpty()) << w->lastProblems().join('\n').toStdString();
    const PlayerSettings& s = store->settings();
    EXPECT_FALSE(s.enablevu);
    EXPECT_TRUE(s.dontsleep);
    EXPECT_EQ(s.wkeynext, 116);
    EXPECT_EQ(s.wkeystop, 200) << "an unknown code shown is kept";
    EXPECT_TRUE(store->configurationOpened());
    w->move(33, 44);
    w.reset();
    const IniDocument ini = store->readMain();
    EXPECT_EQ(ini.readInteger("option", "chks3", -1), 0) << "written when the window goes";
    EXPECT_TRUE(ini.hasKey("form", "fconfigleft"));
}

TEST_F(ConfigWindowTest, PluginPageIsDisabledWithoutHostsAndListsTheirEntries) {
    auto bare = open();
    EXPECT_FALSE(find<QComboBox>(*bare, "comboplugin")->isEnabled());
    bare.reset();
    ConfigWindow::Hooks hooks;
    hooks.plugins.entries = [] { return QStringList{"bg/default", "bg/bump", "amp/vis.so"}; };
    hooks.plugins.description = [](const QString& e) { return "about " + e; };
    auto w = open(hooks);
    auto* combo = find<QComboBox>(*w, "comboplugin");
    EXPECT_TRUE(combo->isEnabled());
    EXPECT_EQ(combo->count(), 3);
    combo->setCurrentIndex(2);
    EXPECT_EQ(w->findChild<QWidget*>("memoplugin")->property("plainText").toString(),
              "about amp/vis.so");
}

TEST_F(ConfigWindowTest, PagesPictures) {
    const QString dir = qEnvironmentVariable("OMBRIX_CONFIG_SHOTS");
    if (dir.isEmpty()) GTEST_SKIP() << "OMBRIX_CONFIG_SHOTS names no folder";
    ConfigWindow::Hooks hooks;
    hooks.plugins.entries = [] { return QStringList{"bg/default", "bg/bump"}; };
    hooks.plugins.description = [](const QString& e) { return "Background: " + e; };
    auto w = open(hooks);
    QDir().mkpath(dir);
    const QStringList pages = ConfigControl::pages();
    for (int i = 0; i < pages.size(); ++i) {
        w->showPage(i);
        QTest::qWait(50);
        QString name = pages[i];
        name.replace(' ', '_').replace('/', '-');
        EXPECT_TRUE(w->grab().save(
            QStringLiteral("%1/%2-%3.png").arg(dir).arg(i, 2, 10, QChar('0')).arg(name)));
    }
}

}  // namespace
}  // namespace ombrix::test

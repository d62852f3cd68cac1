// The configuration page model against a real settings store: every control round-trips to
// its setting on apply and not without, bad values keep the stored ones, and the key table.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>

#include "ombrix/settings/IniDocument.h"
#include "ombrix/settings/SettingsStore.h"
#include "ombrix/windows/config/ConfigModel.h"
#include "ombrix/windows/config/KeyTable.h"
#include "support/Files.h"

namespace ombrix::test {
namespace {

using Kind = ConfigControl::Kind;

class ConfigModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(home.filePath("resource/media.ini"),
                  "[MPEG audio]\r\next=*.mp3;*.mp2;\r\nicon=none\r\nassociate=0\r\n"
                  "[Wave]\r\next=*.wav;\r\nicon=none\r\nassociate=0\r\n");
        store = std::make_unique<SettingsStore>(Home(home.path()), ProcessorFeatures{});
        store->loadOptions();
        store->loadSettings();
    }
    std::unique_ptr<ConfigModel> model(ConfigModel::Hooks hooks = {}) {
        return std::make_unique<ConfigModel>(
            *store, FileAssociations(xdg.filePath("config"), xdg.filePath("data"), "ombrix"),
            std::move(hooks));
    }

    QTemporaryDir home;
    QTemporaryDir xdg;
    std::unique_ptr<SettingsStore> store;
};

// A valid value for each control that differs from the one stored now.
void changeEach(ConfigModel& m, const PlayerSettings& before) {
    PlayerSettings old = before;
    for (const ConfigControl& c : ConfigControl::all()) {
        switch (c.kind) {
            case Kind::Check:
            case Kind::InvertedCheck:
                m.setValue(c, c.boolRef(old) ? 0 : 1);
                break;
            case Kind::Spin:
                m.setValue(c, c.intRef(old) == c.min ? c.max : c.min);
                break;
            case Kind::Combo:
            case Kind::ComboValue:
                m.setValue(c, c.intRef(old) + 1);
                break;
            case Kind::Key:
                m.setValue(c, c.intRef(old) == 65 ? 66 : 65);
                break;
            case Kind::Line:
                if (c.object.startsWith("hk"))
                    m.setText(c, "ALT+F5");
                else if (c.object == "editproxyport")
                    m.setText(c, "8080");
                else if (c.object == "edittelnetbind")
                    m.setText(c, "127.0.0.2");
                else
                    m.setText(c, c.object + " value");
                break;
        }
    }
}

TEST_F(ConfigModelTest, EveryControlReachesItsSettingOnlyThroughApply) {
    const PlayerSettings before = store->settings();
    int changes = 0;
    QObject::connect(store.get(), &SettingsStore::changed, [&] { ++changes; });
    {
        auto cancelled = model();
        changeEach(*cancelled, before);
    }  // "cancel": the draft goes away
    EXPECT_EQ(changes, 0);
    PlayerSettings now = store->settings();
    for (const ConfigControl& c : ConfigControl::all()) {
        PlayerSettings old = before;
        if (c.boolRef) {
            EXPECT_EQ(c.boolRef(now), c.boolRef(old)) << c.object.toStdString();
        }
        if (c.intRef) {
            EXPECT_EQ(c.intRef(now), c.intRef(old)) << c.object.toStdString();
        }
        if (c.textRef) {
            EXPECT_EQ(c.textRef(now), c.textRef(old)) << c.object.toStdString();
        }
    }

    auto m = model();
    changeEach(*m, before);
    EXPECT_TRUE(m->apply().isEmpty());
    EXPECT_EQ(changes, 1) << "one change signal reaches every reader";
    now = store->settings();
    const PlayerSettings& draft = m->draft();
    for (const ConfigControl& c : ConfigControl::all()) {
        PlayerSettings old = before;
        PlayerSettings d = draft;
        if (c.boolRef) {
            EXPECT_NE(c.boolRef(now), c.boolRef(old)) << c.object.toStdString();
        }
        if (c.intRef) {
            EXPECT_EQ(c.intRef(now), c.intRef(d)) << c.object.toStdString();
        }
        if (c.intRef) {
            EXPECT_NE(c.intRef(now), c.intRef(old)) << c.object.toStdString();
        }
        if (c.textRef) {
            EXPECT_EQ(c.textRef(now), c.textRef(d)) << c.object.toStdString();
        }
    }
    EXPECT_EQ(now.scactivate, "ALT+F5");
    EXPECT_EQ(now.labelsleft[2], 0);

    // What was applied is what a new window shows, and what the files keep.
    store->saveAll();
    SettingsStore again{Home(home.path()), ProcessorFeatures{}};
    again.loadOptions();
    again.loadSettings();
    EXPECT_EQ(again.settings().telnetport, now.telnetport);
    EXPECT_EQ(again.settings().latency, now.latency);
    EXPECT_EQ(again.settings().wkeystop, now.wkeystop);
    EXPECT_EQ(again.settings().dontsleep, now.dontsleep);
}

TEST_F(ConfigModelTest, BadValuesKeepTheStoredOnesAndTheRestIsApplied) {
    QString telnetAsked;
    ConfigModel::Hooks hooks;
    hooks.telnet = [&] {
        telnetAsked = QString::number(store->settings().telnetport);
        return QStringLiteral("telnet server: address in use");
    };
    auto m = model(hooks);
    m->setText(*ConfigControl::find("hkactivate"), "CTRL+");
    m->setText(*ConfigControl::find("editproxyport"), "eighty");
    m->setText(*ConfigControl::find("edittelnetbind"), "not an address");
    m->setValue(*ConfigControl::find("spTime1"), 99);   // typed past the range
    m->setValue(*ConfigControl::find("Edit3"), 70000);  // no port
    m->setValue(*ConfigControl::find("chkvu"), 0);
    m->draft().screenfont.name = "No Such Font Family 1234";
    const QStringList problems = m->apply();
    ASSERT_EQ(problems.size(), 5) << problems.join('\n').toStdString();
    EXPECT_TRUE(problems.join('\n').contains("CTRL+"));
    EXPECT_TRUE(problems.join('\n').contains("eighty"));
    EXPECT_TRUE(problems.join('\n').contains("No Such Font Family 1234"));
    EXPECT_TRUE(problems.contains("telnet server: address in use"));
    const PlayerSettings& s = store->settings();
    EXPECT_EQ(s.scactivate, "SHIFT+CTRL+U");
    EXPECT_EQ(s.proxyport, "80");
    EXPECT_EQ(s.telnetbind, "127.0.0.1");
    EXPECT_EQ(s.alarmhour, 23);
    EXPECT_EQ(s.telnetport, 65535);
    EXPECT_EQ(telnetAsked, "65535") << "the server is asked after the store changed";
    EXPECT_FALSE(s.enablevu);
    EXPECT_EQ(s.screenfont.name, "No Such Font Family 1234") << "kept, as the user chose it";
}

TEST_F(ConfigModelTest, MediaTypesAndTheirFlagsAreAppliedAndRegistered) {
    auto m = model();
    m->setFlag(0, FileAssociations::kOpen, true);
    m->setFlag(0, FileAssociations::kEditTag, true);
    m->types().extensions[1] = "*.wav;*.wave;";
    EXPECT_EQ(m->flags(0), 9);
    EXPECT_EQ(store->mediaTypes().associate[0], "0") << "nothing before ok";
    EXPECT_TRUE(m->apply().isEmpty());
    EXPECT_EQ(store->mediaTypes().associate[0], "9");
    EXPECT_TRUE(store->mediaTypes().flat.contains(".wave"));
    const QByteArray apps = readFile(xdg.filePath("config/mimeapps.list"));
    EXPECT_TRUE(apps.contains("audio/mpeg=ombrix.desktop;")) << apps.toStdString();
    const QByteArray entry = readFile(xdg.filePath("data/applications/ombrix.desktop"));
    EXPECT_TRUE(entry.contains("Actions=EditTag;")) << entry.toStdString();
}

TEST_F(ConfigModelTest, PlaylistColourAndFontReachTheFileAndTheOpenWindow) {
    int reloads = 0;
    ConfigModel::Hooks hooks;
    hooks.playlistAppearance = [&] { ++reloads; };
    auto m = model(hooks);
    EXPECT_EQ(m->playlistColor, ConfigModel::kPlaylistDefaultColor);
    m->playlistColor = 0x0000ff;
    m->playlistFont = FontSetting{"DejaVu Sans", 0xffffff, 11, 1};
    EXPECT_TRUE(m->apply().isEmpty());
    EXPECT_EQ(reloads, 1);
    const IniDocument ini = store->readMain();
    EXPECT_EQ(ini.readInteger("fplaylist", "ListBox1.Color", -1), 0x0000ff);
    EXPECT_EQ(ini.readFont("fplaylist", "listbox1.font", {}).size, 11);
    EXPECT_EQ(model()->playlistFont.name, "DejaVu Sans") << "shown again next time";
}

TEST_F(ConfigModelTest, SkipSafeIsKeptBesideThePositionAndIsOnByDefault) {
    EXPECT_TRUE(ConfigModel::readSkipSafe(*store));
    ConfigModel::writeSkipSafe(*store, false);
    EXPECT_FALSE(ConfigModel::readSkipSafe(*store));
    EXPECT_EQ(store->readMain().readInteger("option", "chks3", -1), 0);
}

TEST(KeyTableTest, LooksUpKnownAndUnknownCodes) {
    ASSERT_EQ(KeyTable::names().size(), KeyTable::kSize);
    EXPECT_EQ(KeyTable::label(8), "BACK");
    EXPECT_EQ(KeyTable::label(46), "DELETE");
    EXPECT_EQ(KeyTable::label(111), "NUM /");
    EXPECT_EQ(KeyTable::label(112), "F1");
    EXPECT_EQ(KeyTable::label(135), "F24");
    EXPECT_EQ(KeyTable::label(65), "A");
    EXPECT_EQ(KeyTable::label(90), "Z");
    EXPECT_EQ(KeyTable::label(110), "(code 110)") << "NUM . is not in the table";
    EXPECT_EQ(KeyTable::label(-3), "(code -3)");
    EXPECT_EQ(KeyTable::code(KeyTable::indexOfName("NUM +")), 107);
    EXPECT_EQ(KeyTable::indexOfName("F25"), -1);
    EXPECT_EQ(KeyTable::code(KeyTable::kSize), -1);
    // Every code appears once, so showing a code and choosing it again gives the same code.
    for (int i = 0; i < KeyTable::kSize; ++i)
        EXPECT_EQ(KeyTable::indexOfCode(KeyTable::code(i)), i);
}

}  // namespace
}  // namespace ombrix::test

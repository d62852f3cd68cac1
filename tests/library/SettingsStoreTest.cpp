#include "ombrix/settings/SettingsStore.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "ombrix/settings/SettingsAutosave.h"
#include "ombrix/settings/TextFile.h"
#include "support/Files.h"

using namespace ombrix;

namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    Home home{dir.path()};
    ProcessorFeatures noMmx{true, false, false};
    ProcessorFeatures mmx{true, true, true};

    QString mainIni() const { return home.path(Home::kMainIni); }
};

}  // namespace

TEST_F(SettingsStoreTest, ProcessorFlagsAreSettingAndCapability) {
    test::writeFile(mainIni(), "[option]\r\nusemmx=1\r\nusek63d=1\r\n");
    SettingsStore without(home, noMmx);
    without.loadOptions();
    EXPECT_TRUE(without.settings().usemmx);  // the setting is kept as written...
    EXPECT_FALSE(without.effectiveMmx());    // ...but never used without the feature
    EXPECT_FALSE(without.effective3DNow());
    SettingsStore with(home, mmx);
    with.loadOptions();
    EXPECT_TRUE(with.effectiveMmx());
    EXPECT_TRUE(with.effective3DNow());
#if defined(__x86_64__)
    // Every x86-64 processor has MMX: the float path, faster there, is the default.
    QTemporaryDir other;
    SettingsStore fresh(Home(other.path()), ProcessorFeatures::detect());
    fresh.loadOptions();
    EXPECT_FALSE(fresh.settings().usemmx);
#endif
}

TEST_F(SettingsStoreTest, SavesAtTheirMomentsAndKeepOtherSections) {
    test::writeFile(mainIni(),
                    "; by hand\r\n[option]\r\nfuturekey=keep\r\nglbsleep=0x0A\r\n"
                    "[fplaylist]\r\nwidth=300\r\n");
    SettingsStore store(home, mmx);
    store.loadOptions();
    store.loadSettings();
    EXPECT_EQ(store.settings().glbsleep, 10);
    store.change([&](PlayerSettings& s) { s.glbsleep = 2; });
    store.change([&](PlayerSettings& s) { s.preloadtag = true; });  // an "options" key
    store.change([&](PlayerSettings& s) { s.fmain = WindowPosition{5, 6, {}, {}}; });
    store.saveSettings();
    IniDocument ini = IniDocument::load(mainIni());
    EXPECT_EQ(ini.readString("option", "glbsleep"), "2");
    EXPECT_FALSE(ini.hasKey("option", "preloadtag"));  // written at exit only
    EXPECT_EQ(ini.readString("option", "futurekey"), "keep");
    EXPECT_EQ(ini.readString("fplaylist", "width"), "300");
    EXPECT_TRUE(test::readFile(mainIni()).startsWith("; by hand\r\n"));
    EXPECT_EQ(ini.readString("form", "fmainleft"), "5");
    EXPECT_EQ(ini.readString("option", "labelsleft[2]"), "140");
    EXPECT_EQ(ini.readString("option", "screenfont.name"), "Arial");
    EXPECT_EQ(ini.readString("keybind", "wkeyterminate"), "27");
    store.saveOptions();
    ini = IniDocument::load(mainIni());
    EXPECT_EQ(ini.readString("option", "preloadtag"), "1");
    EXPECT_EQ(ini.readString("option", "glbsleep"), "2");

    SettingsStore again(home, mmx);
    again.loadOptions();
    again.loadSettings();
    EXPECT_TRUE(again.settings().preloadtag);
    EXPECT_EQ(again.settings().glbsleep, 2);
    EXPECT_EQ(again.settings().fmain, (WindowPosition{5, 6, {}, {}}));
}

TEST_F(SettingsStoreTest, FirstTimeAndPluginIniNeedTheConfigurationWindow) {
    SettingsStore store(home, mmx);
    store.loadOptions();
    store.loadSettings();
    store.change([&](PlayerSettings& s) { s.glblight = 99; });
    store.saveSettings();
    EXPECT_EQ(IniDocument::load(mainIni()).readString("option", "firsttime"), "1");
    EXPECT_FALSE(QFileInfo::exists(home.path(SettingsStore::kPluginIni)));
    store.markConfigurationOpened();
    store.saveSettings();
    EXPECT_EQ(IniDocument::load(mainIni()).readString("option", "firsttime"), "0");
    EXPECT_EQ(IniDocument::load(home.path("plugin.ini")).readString("Tessik.bump", "glblight"),
              "99");
}

TEST_F(SettingsStoreTest, LanguageIsReadOnlyAfterFirstRun) {
    test::writeFile(mainIni(), "[option]\r\nlanguage=1\r\nfirsttime=1\r\n");
    SettingsStore first(home, mmx);
    first.loadOptions();
    first.loadSettings();
    EXPECT_EQ(first.settings().language, 0);
    const QString temp = dir.filePath("tmp/ombrix-test");
    first.firstRun(temp, true);
    EXPECT_EQ(first.settings().language, 1);
    EXPECT_EQ(first.settings().screenfont.name, first.settings().localfont);
    EXPECT_TRUE(QFileInfo(temp).isDir());
    EXPECT_TRUE(QFileInfo(home.path("plugin/amp")).isDir());

    test::writeFile(mainIni(), "[option]\r\nlanguage=1\r\nfirsttime=0\r\n");
    SettingsStore later(home, mmx);
    later.loadOptions();
    later.loadSettings();
    EXPECT_EQ(later.settings().language, 1);
}

TEST_F(SettingsStoreTest, RecentListsDropMissingFiles) {
    const QString kept = dir.filePath("kept.mp3");
    test::writeFile(kept, "x");
    test::writeFile(mainIni(),
                    QStringLiteral("[recent]\r\n0=%1\r\n1=%2\r\n[recentfolder]\r\n0=%3\r\n")
                        .arg(dir.filePath("gone.mp3"), kept, dir.path())
                        .toUtf8());
    SettingsStore store(home, mmx);
    store.loadSettings();
    EXPECT_EQ(store.settings().recent, QStringList({kept}));
    EXPECT_EQ(store.settings().recentfolder, QStringList({dir.path()}));
    for (int i = 0; i < 12; ++i) store.addRecentFile(QStringLiteral("/f%1").arg(i));
    store.addRecentFile("/f5");
    EXPECT_EQ(store.settings().recent.size(), SettingsStore::kMaxRecent);
    EXPECT_EQ(store.settings().recent.first(), "/f5");
    EXPECT_EQ(store.settings().recent.count("/f5"), 1);
}

TEST_F(SettingsStoreTest, MediaTypesAreWrittenBackWithTheOptions) {
    test::writeFile(home.path(SettingsStore::kMediaIni),
                    "[MPEG audio]\r\next=*.mp3;*.mp2;\r\nicon=mpeg\r\n[Wave]\r\next=*.wav;\r\n");
    SettingsStore store(home, mmx);
    store.loadOptions();
    const MediaTypes& types = store.mediaTypes();
    EXPECT_EQ(types.names, QStringList({"MPEG audio", "Wave"}));
    EXPECT_EQ(types.associate, QStringList({"0", "0"}));  // missing "associate" reads as 0
    EXPECT_EQ(types.flat, QStringList({".mp3", ".mp2", ".wav"}));
    store.mediaTypes().associate[1] = "1";
    store.saveOptions();
    const IniDocument media = IniDocument::load(home.path(SettingsStore::kMediaIni));
    EXPECT_EQ(media.readString("Wave", "associate"), "1");
    EXPECT_EQ(media.readString("Wave", "icon"), "");
    EXPECT_EQ(media.sectionNames(), QStringList({"MPEG audio", "Wave"}));
}

TEST_F(SettingsStoreTest, UnreadableSettingsFileIsNeverOverwritten) {
    // A file this program cannot parse (here: UTF-16 with zero bytes) holds the user's sections.
    QByteArray utf16("\xFF\xFE", 2);
    for (const char c : QByteArray("[fplaylist]\r\nwidth=300\r\n"))
        utf16 += QByteArray(1, c) + '\0';
    test::writeFile(mainIni(), utf16);
    SettingsStore store(home, mmx);
    store.loadOptions();
    store.loadSettings();
    EXPECT_TRUE(store.settings().firsttime);  // the defaults
    const QStringList problems = store.takeProblems();
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].contains(QDir::toNativeSeparators(mainIni())))
        << problems[0].toStdString();
    store.change([&](PlayerSettings& s) { s.glbsleep = 9; });
    store.markConfigurationOpened();
    store.saveSettings();
    store.saveOptions();
    EXPECT_EQ(test::readFile(mainIni()), utf16);
    EXPECT_TRUE(store.takeProblems().isEmpty());                           // reported once
    EXPECT_TRUE(QFileInfo::exists(home.path(SettingsStore::kPluginIni)));  // other files are saved

    // Once the file reads again, saving works again and keeps the other sections.
    test::writeFile(mainIni(), "[fplaylist]\r\nwidth=300\r\n");
    store.saveSettings();
    const IniDocument back = IniDocument::load(mainIni());
    EXPECT_EQ(back.readInteger("fplaylist", "width", 0), 300);
    EXPECT_EQ(back.readInteger("option", "glbsleep", 0), 9);
}

TEST_F(SettingsStoreTest, SettingsPathThatIsNoFileIsLeftAlone) {
    ASSERT_TRUE(QDir().mkpath(mainIni()));
    SettingsStore store(home, mmx);
    store.loadOptions();
    store.loadSettings();
    EXPECT_NO_THROW(store.saveSettings());
    EXPECT_NO_THROW(store.saveOptions());
    EXPECT_TRUE(QFileInfo(mainIni()).isDir());
    EXPECT_EQ(store.takeProblems().size(), 1);
    EXPECT_THROW(IniDocument::parseText("a=1\n" + QByteArray(IniDocument::kMaxLineLength + 1, 'x')),
                 FileError);
}

TEST_F(SettingsStoreTest, ChangesAreSavedSoonAfterwardsNotOnlyAtExit) {
    SettingsStore store(home, mmx);
    store.loadOptions();
    store.loadSettings();
    SettingsAutosave autosave(store, 50);
    EXPECT_FALSE(autosave.pending()) << "loading is no reason to write";

    // A burst of changes (a volume wheel) is gathered into one save.
    for (int v = 0; v < 100; ++v) store.change([v](PlayerSettings& s) { s.glbsleep = v; });
    store.change([](PlayerSettings& s) { s.preloadtag = true; });
    EXPECT_TRUE(autosave.pending());
    ASSERT_TRUE(test::waitFor([&] { return !autosave.pending(); }));
    // As a crash would find it: the file already has the changes.
    const IniDocument ini = IniDocument::load(mainIni());
    EXPECT_EQ(ini.readInteger("option", "glbsleep", -1), 99);
    EXPECT_TRUE(ini.readBool("option", "preloadtag", false));

    // A home that cannot be written is reported once, and nothing else fails.
    QTemporaryDir other;
    test::writeFile(QDir(other.path()).filePath("file"), "x");
    SettingsStore blocked(Home(QDir(other.path()).filePath("file/home")), mmx);
    SettingsAutosave failing(blocked, 0);
    QStringList failures;
    QObject::connect(&failing, &SettingsAutosave::failed,
                     [&](const QString& m) { failures << m; });
    blocked.change([](PlayerSettings& s) { s.glbsleep = 1; });
    failing.flush();
    blocked.change([](PlayerSettings& s) { s.glbsleep = 2; });
    failing.flush();
    ASSERT_EQ(failures.size(), 1);
    EXPECT_TRUE(failures.first().startsWith("Could not save the settings"));
}

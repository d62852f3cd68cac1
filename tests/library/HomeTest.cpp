#include "ombrix/settings/Home.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "ombrix/media/MediaIdentifier.h"
#include "ombrix/settings/IniDocument.h"
#include "ombrix/settings/MediaTypes.h"
#include "ombrix/settings/SettingsStore.h"
#include "support/Files.h"

using namespace ombrix;

TEST(Home, ResolutionOrder) {
    QTemporaryDir dir;
    QProcessEnvironment env;
    env.insert("HOME", "/home/u");
    EXPECT_EQ(Home::resolve({"ombrix", "--home", "/srv/h"}, env, dir.path()), "/srv/h");
    EXPECT_EQ(Home::resolve({"ombrix", "--home=/srv/h2"}, env, dir.path()), "/srv/h2");
    EXPECT_EQ(Home::resolve({"ombrix"}, env, dir.path()), "/home/u/.local/share/ombrix");
    env.insert("XDG_DATA_HOME", "/data");
    EXPECT_EQ(Home::resolve({"ombrix"}, env, dir.path()), "/data/ombrix");
    test::writeFile(dir.filePath(Home::kMainIni), "");  // a portable installation
    EXPECT_EQ(Home::resolve({"ombrix"}, env, dir.path()), QDir::cleanPath(dir.path()));
    env.insert("OMBRIX_HOME", "/env/home");
    EXPECT_EQ(Home::resolve({"ombrix"}, env, dir.path()), "/env/home");
}

TEST(Home, SeededFromTheBuiltDefaultData) {
    const QString data = Home::defaultDataDir(QProcessEnvironment(), QString());
    ASSERT_FALSE(data.isEmpty()) << "default data was not generated";
    QTemporaryDir dir;
    const Home home(dir.filePath("home"));
    ASSERT_TRUE(home.seed(data));
    for (const char* sub : {"fx", "plugin/bg", "plugin/full", "plugin/amp", "file"})
        EXPECT_TRUE(QFileInfo(home.path(sub)).isDir()) << sub;
    EXPECT_TRUE(QFileInfo(home.path("credits.txt")).isFile());

    // The shipped media types cover every extension the media kinds rely on.
    MediaTypes types;
    types.read(IniDocument::load(home.path(SettingsStore::kMediaIni)));
    ASSERT_TRUE(types.consistent());
    const MediaIdentifier media(types.flat);
    EXPECT_TRUE(media.isArchivePlayable("a.mp3"));
    EXPECT_FALSE(media.isArchivePlayable("a.zip"));
    EXPECT_FALSE(media.isArchivePlayable("a.m3u"));
    EXPECT_TRUE(media.isSupported("a.zip"));
    EXPECT_TRUE(types.openDialogFilter()->startsWith("All supported|*.zip;*.lzh;;"));

    // Seeding again never overwrites the user's files.
    test::writeFile(home.path("credits.txt"), "mine");
    ASSERT_TRUE(home.seed(data));
    EXPECT_EQ(test::readFile(home.path("credits.txt")), "mine");
}

TEST(MediaTypes, BrokenPatternsAreSkippedAndAnInconsistentTableGivesNoFilter) {
    EXPECT_EQ(MediaTypes::flatten({"*.mp3;*.MP2;", "*.wav;", "broken", "*.x"}),
              QStringList({".mp3", ".mp2", ".wav"}));
    MediaTypes t;
    t.names = {"MPEG", "Wave"};
    t.extensions = {"*.mp3;", "*.wav;"};
    t.icons = {"i"};
    t.associate = {"0", "1"};
    EXPECT_FALSE(t.openDialogFilter());
}

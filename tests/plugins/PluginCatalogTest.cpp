#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "ombrix/skin/PluginCatalog.h"
#include "support/Files.h"

namespace ombrix {
namespace {

TEST(PluginCatalogTest, ListsEachKindsLibrariesSortedAndAtMost32) {
    QTemporaryDir dir;
    const QString root = dir.path() + "/plugin";
    test::writeFile(root + "/bg/wave.so", "x");
    test::writeFile(root + "/bg/aurora.so", "x");
    test::writeFile(root + "/bg/readme.txt", "not a plug-in");
    test::writeFile(root + "/bg/dots.v2.so", "x");
    QDir().mkpath(root + "/bg/folder.so");  // a folder is no plug-in
    for (int i = 0; i < 40; ++i)
        test::writeFile(root + QStringLiteral("/amp/vis%1.so").arg(i, 2, 10, QLatin1Char('0')),
                        "x");
    // No "full" folder at all.

    PluginCatalog catalog(root);
    EXPECT_TRUE(catalog.entries().isEmpty());
    catalog.scan();
    EXPECT_EQ(catalog.captions(PluginKind::Background), QStringList({"aurora", "dots.v2", "wave"}));
    EXPECT_TRUE(catalog.captions(PluginKind::FullScreen).isEmpty());
    const QStringList amp = catalog.captions(PluginKind::Amp);
    ASSERT_EQ(amp.size(), 32);
    EXPECT_EQ(amp.first(), "vis00");
    EXPECT_EQ(amp.last(), "vis31");

    const QStringList entries = catalog.entries();
    ASSERT_EQ(entries.size(), 35);
    EXPECT_EQ(entries.mid(0, 4),
              QStringList({"bg/aurora.so", "bg/dots.v2.so", "bg/wave.so", "amp/vis00.so"}));
    EXPECT_EQ(catalog.path(PluginKind::Background, "dots.v2"), root + "/bg/dots.v2.so");
    EXPECT_EQ(catalog.path(PluginKind::Amp, "vis35"), "");  // beyond the 32
    EXPECT_EQ(catalog.path(PluginKind::FullScreen, "aurora"), "");

    // A second scan sees what changed.
    QFile::remove(root + "/bg/wave.so");
    catalog.scan();
    EXPECT_EQ(catalog.captions(PluginKind::Background), QStringList({"aurora", "dots.v2"}));
}

}  // namespace
}  // namespace ombrix

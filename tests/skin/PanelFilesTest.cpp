#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "PanelFiles.h"
#include "ombrix/skin/PanelError.h"
#include "ombrix/skin/PanelInstaller.h"
#include "ombrix/skin/PanelList.h"
#include "ombrix/skin/SkinFile.h"
#include "support/Files.h"

namespace ombrix::test {
namespace {

TEST(PanelLoad, DescriptionDefinesElementsAndValuesAndAbsentFileKeepsThem) {
    PanelFolder f;
    QStringList btn = rect("play", 0, 0, 40, 0) + rect("fadervolume", 10, 10, 20, 90) +
                      rect("faderpan", 30, 10, 90, 20);
    btn << "fadervolumeknob=8"
        << "faderpanknob=12"
        << "lcdfontcolor=0"
        << "paneltype=2";
    SkinFile panel;
    panel.load(f.write("a", {100, 100}, Qt::red, {}, btn));
    EXPECT_TRUE(panel.defined(kPlay));   // "left" 0 with "right" 40
    EXPECT_FALSE(panel.defined(kStop));  // all four 0
    EXPECT_FALSE(panel.hasAlternate());
    EXPECT_EQ(panel.volumeTravel, 80 - 8);
    EXPECT_EQ(panel.panTravel, 60 - 12);
    EXPECT_EQ(panel.lcdfontcolor, 0);
    EXPECT_EQ(panel.screenfontcolor, -1);
    EXPECT_EQ(panel.screenleft, 14);
    EXPECT_EQ(panel.transparentcolor, 0xFFFFFF);

    // A panel without a description keeps the elements and values, and its travels are
    // computed again (here against a smaller image that cuts the volume fader).
    panel.load(f.write("b", {100, 50}, Qt::blue, Qt::green));
    EXPECT_TRUE(panel.hasAlternate());
    EXPECT_TRUE(panel.defined(kPlay));
    EXPECT_EQ(panel.paneltype, 2);
    EXPECT_EQ(panel.button(kFaderVolume).Bottom, 50);
    EXPECT_EQ(panel.volumeTravel, 40 - 8);
}

TEST(PanelLoad, BadFilesAreRefusedAndTheLoadedPanelStays) {
    PanelFolder f;
    SkinFile panel;
    const QString good = f.write("good", {64, 32}, Qt::red, {}, rect("play", 1, 2, 30, 20));
    panel.load(good);

    writeFile(f.path("junk.bmp"), "this is not a bitmap at all");
    const QByteArray whole = readFile(good);
    writeFile(f.path("cut.bmp"), whole.left(70));  // cut off after its header
    QByteArray zero = whole;
    zero.replace(18, 4, QByteArray(4, '\0'));  // a zero-width picture
    writeFile(f.path("zero.bmp"), zero);
    // An alternate image of another size, a description that is binary data.
    f.write("odd", {64, 32}, Qt::red);
    QImage(10, 10, QImage::Format_RGB32).save(f.path("odd.alt.bmp"), "BMP");
    f.write("bin", {64, 32}, Qt::red);
    writeFile(f.path("bin.btn"), QByteArray("[button]\0\0\0", 11));

    for (const char* name : {"missing", "junk", "cut", "zero", "odd", "bin"}) {
        SCOPED_TRACE(name);
        try {
            panel.load(f.path(QString::fromLatin1(name) + ".bmp"));
            ADD_FAILURE() << "loaded";
        } catch (const PanelError& e) {
            EXPECT_GT(std::strlen(e.what()), 10u);
        }
        EXPECT_EQ(panel.path(), good);
        EXPECT_EQ(panel.size(), QSize(64, 32));
        EXPECT_EQ(panel.button(kPlay).Right, 30);
    }
}

TEST(PanelLoad, RectanglesBeyondTheImageAreCutToIt) {
    PanelFolder f;
    QStringList btn = rect("play", -2147483648LL, -5, 2147483647, 99999999) +
                      rect("fadervolume", 10, 40, 20, 10)  // upside down
                      + QStringList{"fadervolumeknob=-50", "faderpanknob=99999999999"} +
                      rect("faderpan", 500, 500, 600, 600);
    SkinFile panel;
    panel.load(f.write("p", {50, 40}, Qt::red, {}, btn));
    const ButtonRect& play = panel.button(kPlay);
    EXPECT_EQ(play.rect(), QRect(0, 0, 50, 40));
    EXPECT_TRUE(panel.button(kPlay).hitTest(49, 39));
    EXPECT_EQ(panel.volumeTravel, 0);  // no room: the fader cannot move
    EXPECT_EQ(panel.panTravel, 0);
    EXPECT_EQ(panel.fadervolumeknob, 0);
}

TEST(PanelRegion, TransparentColumnIsCutOutAndEllipseLeavesCorners) {
    PanelFolder f;
    QImage img(20, 10, QImage::Format_RGB32);
    img.fill(Qt::red);
    for (int y = 0; y < 10; ++y) img.setPixel(5, y, qRgb(255, 255, 255));
    img.setPixel(12, 3, qRgb(255, 255, 255));  // one transparent pixel inside a column
    img.save(f.path("r.bmp"), "BMP");
    writeFile(f.path("r.btn"), "[button]\r\npaneltype=2\r\n");
    SkinFile panel;
    panel.load(f.path("r.bmp"));
    const QRegion r = panel.windowRegion();
    for (int y = 0; y < 10; ++y) {
        EXPECT_FALSE(r.contains(QPoint(5, y))) << y;
        EXPECT_TRUE(r.contains(QPoint(4, y)));
        EXPECT_TRUE(r.contains(QPoint(6, y)));
    }
    EXPECT_FALSE(r.contains(QPoint(12, 3)));
    EXPECT_TRUE(r.contains(QPoint(12, 2)));
    EXPECT_TRUE(r.contains(QPoint(12, 4)));

    panel.paneltype = 1;
    const QRegion e = panel.windowRegion();
    EXPECT_FALSE(e.contains(QPoint(0, 0)));
    EXPECT_TRUE(e.contains(QPoint(10, 5)));
    panel.paneltype = 0;
    EXPECT_TRUE(panel.windowRegion().isEmpty());
}

TEST(PanelLists, AlternatesSkippedLimitAndFallback) {
    PanelFolder f;
    f.write("b", {4, 4}, Qt::red, Qt::blue);
    f.write("A", {4, 4}, Qt::red);
    QFile::copy(f.path("A.bmp"), f.path("C.ALT.BMP"));
    QFile::copy(f.path("A.bmp"), f.path("D.BMP"));
    EXPECT_EQ(PanelList::names(f.dir.path()), (QStringList{"A", "b", "D"}));

    EXPECT_FALSE(PanelList::resolve(f.dir.path(), "nothing"));
    f.write("default", {4, 4}, Qt::red);
    EXPECT_EQ(*PanelList::resolve(f.dir.path(), "nothing"), f.path("default.bmp"));
    EXPECT_EQ(*PanelList::resolve(f.dir.path(), "b"), f.path("b.bmp"));
    EXPECT_EQ(*PanelList::resolve(f.dir.path(), "../b"), f.path("default.bmp"));

    PanelFolder many;
    for (int i = 0; i < 70; ++i) many.write(QString::asprintf("p%02d", i), {2, 2}, Qt::red);
    const QStringList names = PanelList::names(many.dir.path());
    ASSERT_EQ(names.size(), 64);
    EXPECT_EQ(names.last(), "p63");
}

TEST(PanelInstall, InstallsIntoTheFolderAndRefusesUnsafeArchivesBeforeWriting) {
    PanelFolder src;
    const QByteArray image = readFile(src.write("skin", {8, 8}, Qt::red));
    QTemporaryDir target;
    const QString folder = target.filePath("panel");

    zipArchive(src.path("good.zip"),
               {{"skins/neat.bmp", image}, {"skins/neat.btn", "[button]\r\n"}});
    EXPECT_EQ(PanelInstaller::install(src.path("good.zip"), folder), "neat");
    EXPECT_TRUE(QFileInfo(folder + "/neat.bmp").isFile());
    EXPECT_TRUE(QFileInfo(folder + "/neat.btn").isFile());

    zipArchive(src.path("dots.zip"), {{"x.bmp", image}, {"../../evil.txt", "x"}});
    zipArchive(src.path("link.zip"), {{"y.bmp", image}, {"y.btn", "/etc/passwd"}}, {"y.btn"});
    zipArchive(src.path("none.zip"), {{"readme.txt", "hello"}});
    writeFile(src.path("plain.zip"), "PK but not really");
    for (const char* name : {"dots.zip", "link.zip", "none.zip", "plain.zip", "missing.zip"}) {
        SCOPED_TRACE(name);
        try {
            PanelInstaller::install(src.path(name), folder);
            ADD_FAILURE() << "installed";
        } catch (const PanelError& e) {
            if (QString(name) == "none.zip") {
                EXPECT_STREQ(e.what(), "not a panel file!");
            }
        }
    }
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 2);
    EXPECT_FALSE(QFileInfo::exists(target.filePath("evil.txt")));
    EXPECT_FALSE(QFileInfo::exists(src.path("evil.txt")));

    // Another panel's files are never overwritten, and a failed install leaves nothing.
    zipArchive(src.path("thief.zip"), {{"thief.bmp", image}, {"neat.btn", "[stolen]\r\n"}});
    zipArchive(src.path("twice.zip"), {{"a/two.bmp", image}, {"b/two.bmp", image}});
    QByteArray damaged = readFile(src.path("good.zip"));
    damaged.replace("[button]", "[BUTTON]");  // the member's checksum no longer matches
    writeFile(src.path("damaged.zip"), damaged);
    for (const char* name : {"thief.zip", "twice.zip", "damaged.zip"}) {
        SCOPED_TRACE(name);
        EXPECT_THROW(PanelInstaller::install(src.path(name), folder), PanelError);
    }
    EXPECT_EQ(readFile(folder + "/neat.btn"), "[button]\r\n");
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot |
                                     QDir::Hidden),
              QStringList({"neat.bmp", "neat.btn"}));
    // A new version of the same panel replaces it.
    zipArchive(src.path("neat2.zip"), {{"neat.bmp", image}, {"neat.btn", "[v2]\r\n"}});
    EXPECT_EQ(PanelInstaller::install(src.path("neat2.zip"), folder), "neat");
    EXPECT_EQ(readFile(folder + "/neat.btn"), "[v2]\r\n");
}

}  // namespace
}  // namespace ombrix::test

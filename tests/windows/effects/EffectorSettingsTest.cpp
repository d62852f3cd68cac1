// The DJ control's arithmetic and its effector settings files, without widgets.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "EffectsFakes.h"
#include "ombrix/effects/EffectorSettings.h"
#include "ombrix/settings/IniDocument.h"
#include "support/Files.h"

namespace ombrix::test {
namespace {

TEST(EffectorSettingsTest, SavedFileHasTheKeysInOrderAndReadsBackTheSame) {
    QTemporaryDir dir;
    EffectorSettings s;
    s.reverb = true;
    s.reverbDecay = 12345;
    s.reverbDelay = 7;
    s.reverbAmount = 16384;
    s.delay = true;
    s.delayTime = 3000;
    s.delayAmount = 1;
    s.delayPan = -32768;
    s.delayFeed = 32767;
    s.surround = true;
    s.cancelVocal = false;
    const QString path = dir.filePath("club.ini");
    s.save(path);
    EXPECT_EQ(IniDocument::read(path).keys("soundoption"),
              (QStringList{"reverb", "scrollreverbdecay", "scrollreverb", "scrollreverbamount",
                           "delay", "scrolldelay", "scrolldelayamount", "scrolldelaypan",
                           "scrolldelayfeed", "surround", "cancelvocal"}));
    EXPECT_EQ(IniDocument::read(path).value("soundoption", "surround"), "1");
    const auto back = EffectorSettings::load(path);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, s);

    RecordingDesk desk;
    back->applyTo(desk);
    EXPECT_EQ(desk.calls,
              (QStringList{"enableReverb", "reverbDecay 12345", "reverbDelay 7", "reverbScale 8192",
                           "enableDelay", "delayTime 3000", "delayScale 0", "delayPan -32768",
                           "delayFeed 32767", "surround 1", "cancelVocal 0"}));
}

TEST(EffectorSettingsTest, GarbageAndOutOfRangeValuesAreHeldToTheControls) {
    QTemporaryDir dir;
    const QString path = dir.filePath("bad.ini");
    IniDocument::parse({"[soundoption]", "reverb=yes", "scrollreverbdecay=99999999999",
                        "scrollreverb=-4", "scrollreverbamount=lots", "delay=7", "scrolldelay=0",
                        "scrolldelayamount=-1", "scrolldelaypan=-99999",
                        "scrolldelayfeed=0x7FFFFFFF", "surround=2", "cancelvocal="})
        .save(path);
    const auto s = EffectorSettings::load(path);
    ASSERT_TRUE(s);
    EXPECT_FALSE(s->reverb) << "unreadable: the default";
    EXPECT_EQ(s->reverbDecay, 30000);
    EXPECT_EQ(s->reverbDelay, 1);
    EXPECT_EQ(s->reverbAmount, 32767) << "unreadable: the default 32767";
    EXPECT_TRUE(s->delay) << "any non-zero number is on";
    EXPECT_EQ(s->delayTime, 1);
    EXPECT_EQ(s->delayAmount, 0);
    EXPECT_EQ(s->delayPan, -32768);
    EXPECT_EQ(s->delayFeed, 32767);
    EXPECT_TRUE(s->surround);
    EXPECT_FALSE(s->cancelVocal);
}

TEST(EffectorSettingsTest, MissingOrUnreadableFilesChangeNothingAndSavingKeepsOtherSections) {
    QTemporaryDir dir;
    EXPECT_FALSE(EffectorSettings::load(dir.filePath("none.ini")));
    EXPECT_FALSE(EffectorSettings::load(dir.path())) << "a folder is no preset";
    const QString binary = dir.filePath("binary.ini");
    writeFile(binary, QByteArray("[soundoption]\0reverb=1", 22));
    EXPECT_FALSE(EffectorSettings::load(binary));

    const QString shared = dir.filePath("shared.ini");
    IniDocument::parse({"[notes]", "who=me", "[soundoption]", "reverb=1", "stale=1"}).save(shared);
    EffectorSettings{}.save(shared);
    const IniDocument ini = IniDocument::read(shared);
    EXPECT_EQ(ini.readString("notes", "who"), "me");
    EXPECT_FALSE(ini.hasKey("soundoption", "stale")) << "the section is written whole";
    EXPECT_EQ(ini.readInteger("soundoption", "reverb", -1), 0);
}

}  // namespace
}  // namespace ombrix::test

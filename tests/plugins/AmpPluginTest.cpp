#include "PluginFixtures.h"
#include "ombrix/skin/PluginHost.h"

namespace ombrix {
namespace {

using test::testPlugin;

constexpr int kLimit = 20000;

class AmpPluginTest : public test::PluginTest {};

TEST_F(AmpPluginTest, OneModuleIsChosenAndFedTheVisualisationData) {
    PluginHost host(PluginKind::Amp);
    QString error;
    ASSERT_TRUE(host.load(testPlugin("amp_one"), home(), &error)) << qPrintable(error);
    EXPECT_EQ(host.ampModules(), QStringList({"Only module"}));

    uint8_t wave[2 * 576] = {};
    uint8_t spectrum[2 * 576] = {};
    spectrum[0] = 0x80;
    wave[2 * 576 - 1] = 0x40;
    for (int i = 0; i < 2; ++i) {
        host.update(QString(), 0, 0, 0, wave, spectrum);
        ASSERT_TRUE(host.waitForAnswer(kLimit));
    }
    const uint32_t* canvas = host.canvas();
    EXPECT_EQ(canvas[320 * 240 - 1], 0x804001u);  // Init ran once, before the first render
    EXPECT_EQ(canvas[1], 2u);
    EXPECT_EQ(canvas[2], 441002u);  // 44100 Hz, 2 channels
}

TEST_F(AmpPluginTest, TheChosenOfTwoModulesRenders) {
    PluginHost host(PluginKind::Amp);
    ASSERT_TRUE(host.load(testPlugin("amp_two"), home(), nullptr));
    EXPECT_EQ(host.ampModules(), QStringList({"First", "Second"}));
    host.update(QString(), 0, 0, 0);
    ASSERT_TRUE(host.waitForAnswer(kLimit));
    EXPECT_EQ(host.canvas()[100], 0x112233u);
    host.update(QString(), 0, 0, 0);  // in flight while the choice is made
    EXPECT_FALSE(host.selectModule(2));
    ASSERT_TRUE(host.selectModule(1));
    host.update(QString(), 0, 0, 0);
    ASSERT_TRUE(host.waitForAnswer(kLimit));
    EXPECT_EQ(host.canvas()[100], 0x445566u);
}

TEST_F(AmpPluginTest, LibrariesThatAreNotVisualisationsAreRefused) {
    PluginHost host(PluginKind::Amp);
    QString error;
    EXPECT_FALSE(host.load(testPlugin("minimal"), home(), &error));
    EXPECT_EQ(error, "invalid format");
    EXPECT_FALSE(host.load(testPlugin("amp_garbage"), home(), &error));
    EXPECT_EQ(error, "Invalid plugin.");
    EXPECT_TRUE(host.ampModules().isEmpty());
    EXPECT_FALSE(host.selectModule(0));
    ASSERT_TRUE(host.load(testPlugin("amp_one"), home(), &error));
    EXPECT_EQ(host.ampModules().size(), 1);
}

}  // namespace
}  // namespace ombrix

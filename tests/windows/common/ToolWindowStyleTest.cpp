// One look for the windows beside the panel: the panel's palette in the Fusion style, or the
// desktop's own look when the user asks for it; open windows follow a new panel.
#include <gtest/gtest.h>

#include <QApplication>
#include <QStyle>
#include <QTemporaryDir>
#include <QWidget>

#include "ombrix/settings/IniDocument.h"
#include "ombrix/settings/SettingsStore.h"
#include "ombrix/windows/common/ToolWindowStyle.h"
#include "support/Files.h"

namespace ombrix::test {
namespace {

const PanelPalette::Colours kDark{QColor(0x1c, 0x1f, 0x26), QColor(0xd0, 0x30, 0x30)};
const PanelPalette::Colours kLight{QColor(0xe6, 0xe2, 0xd6), QColor(0x2a, 0x5b, 0xd7)};

class ToolWindowStyleTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A desktop style other than the panel's, so that giving it back can be seen.
        programStyle = QApplication::style()->name();
        QApplication::setStyle(QStringLiteral("Windows"));
        desktop = QApplication::palette();
    }
    void TearDown() override { QApplication::setStyle(programStyle); }
    /// Palette changes reach the widgets through posted events.
    static void settle() { QCoreApplication::processEvents(); }
    static QColor windowColour(const QWidget& w) { return w.palette().color(QPalette::Window); }

    QTemporaryDir home;
    SettingsStore store{Home(home.path()), ProcessorFeatures{}};
    QString programStyle;
    QPalette desktop;
};

TEST_F(ToolWindowStyleTest, OpenWindowsTakeEachNewPanelsPalette) {
    QWidget open;
    open.show();
    {
        ToolWindowStyle style(store);
        style.setPanelColours(kDark);
        settle();
        EXPECT_EQ(QApplication::style()->name(), "fusion");
        EXPECT_EQ(windowColour(open), PanelPalette::derive(kDark).color(QPalette::Window));
        EXPECT_LT(PanelPalette::luminance(open.palette().color(QPalette::Base)), 0.05);

        style.setPanelColours(kLight);
        settle();
        const QColor light = PanelPalette::derive(kLight).color(QPalette::Window);
        EXPECT_EQ(windowColour(open), light);
        QWidget later;
        EXPECT_EQ(windowColour(later), light) << "windows opened later look the same";

        style.setPanelColours(std::nullopt);  // a panel without visible pixels
        settle();
        EXPECT_EQ(windowColour(open), desktop.color(QPalette::Window));
        style.setPanelColours(kDark);
    }
    settle();
    EXPECT_EQ(QApplication::style()->name(), "windows") << "the desktop's style comes back";
    EXPECT_EQ(windowColour(open), desktop.color(QPalette::Window));
}

TEST_F(ToolWindowStyleTest, DesktopStyleSettingKeepsTheDesktopsLook) {
    QWidget open;
    open.show();
    store.change([](PlayerSettings& s) { s.desktopstyle = true; });
    ToolWindowStyle style(store);
    style.setPanelColours(kDark);
    settle();
    EXPECT_TRUE(style.showsDesktop());
    EXPECT_EQ(QApplication::style()->name(), "windows");
    EXPECT_EQ(windowColour(open), desktop.color(QPalette::Window));

    store.change([](PlayerSettings& s) { s.desktopstyle = false; });
    settle();
    EXPECT_EQ(windowColour(open), PanelPalette::derive(kDark).color(QPalette::Window));
    store.change([](PlayerSettings& s) { s.desktopstyle = true; });
    settle();
    EXPECT_EQ(QApplication::style()->name(), "windows");
    EXPECT_EQ(windowColour(open), desktop.color(QPalette::Window));
}

TEST_F(ToolWindowStyleTest, DesktopStyleIsStoredAndOffByDefault) {
    EXPECT_FALSE(store.settings().desktopstyle);
    store.change([](PlayerSettings& s) { s.desktopstyle = true; });
    store.saveSettings();
    EXPECT_EQ(IniDocument::load(store.mainIniPath()).readString("option", "desktopstyle"), "1");
    SettingsStore again{Home(home.path()), ProcessorFeatures{}};
    again.loadSettings();
    EXPECT_TRUE(again.settings().desktopstyle);
}

}  // namespace
}  // namespace ombrix::test

// The tool windows' palette taken from panel images: the face and accent found in the image,
// and text that stays readable on dark, light and vivid panels alike.
#include <gtest/gtest.h>

#include <QPainter>

#include "ombrix/windows/common/PanelPalette.h"
#include "support/Files.h"

namespace ombrix::test {
namespace {

/// A panel picture: a face with a gentle gradient, knobs in the accent and a little white
/// lettering, as panels are drawn.
QImage panel(const QColor& face, const QColor& accent, int accentPercent = 6) {
    QImage image(300, 100, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient gradient(0, 0, 0, 100);
    gradient.setColorAt(0, face.lighter(104));
    gradient.setColorAt(1, face.darker(104));
    p.fillRect(image.rect(), gradient);
    p.fillRect(QRect(10, 10, 3 * accentPercent, 100), accent);
    p.fillRect(QRect(250, 40, 3, 10), Qt::white);
    return image;
}

double distance(const QColor& a, const QColor& b) {
    return std::hypot(a.red() - b.red(), a.green() - b.green(), a.blue() - b.blue());
}

/// Every text role against the background it is drawn on, in the groups a window shows.
void expectReadable(const QPalette& p, const std::string& what) {
    using R = QPalette::ColorRole;
    const std::pair<R, R> pairs[] = {
        {R::WindowText, R::Window},         {R::Text, R::Base},
        {R::Text, R::AlternateBase},        {R::ButtonText, R::Button},
        {R::HighlightedText, R::Highlight}, {R::ToolTipText, R::ToolTipBase}};
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive})
        for (const auto& [text, background] : pairs)
            EXPECT_GE(PanelPalette::contrast(p.color(g, text), p.color(g, background)),
                      PanelPalette::kMinTextContrast)
                << what << ": role " << int(text) << " on " << int(background);
    EXPECT_GE(PanelPalette::contrast(p.color(QPalette::Highlight), p.color(QPalette::Base)),
              PanelPalette::kMinSelectionContrast)
        << what << ": the selection stands out from the list";
}

TEST(PanelPalette, DarkPanelGivesDarkWindowsWithLightText) {
    const QColor face(0x1c, 0x1f, 0x26), red(0xd0, 0x30, 0x30);
    const auto colours = PanelPalette::measure(panel(face, red), std::nullopt);
    ASSERT_TRUE(colours.has_value());
    EXPECT_LT(distance(colours->face, face), 16) << colours->face.name().toStdString();
    EXPECT_LT(distance(colours->accent, red), 24) << colours->accent.name().toStdString();

    const QPalette p = PanelPalette::derive(*colours);
    EXPECT_LT(PanelPalette::luminance(p.color(QPalette::Window)), 0.05);
    EXPECT_LT(PanelPalette::luminance(p.color(QPalette::Base)), 0.05);
    EXPECT_GT(PanelPalette::luminance(p.color(QPalette::WindowText)), 0.7);
    EXPECT_GT(PanelPalette::luminance(p.color(QPalette::Text)), 0.7);
    EXPECT_GT(p.color(QPalette::Highlight).red(), p.color(QPalette::Highlight).blue())
        << "the selection takes the panel's accent";
    expectReadable(p, "dark panel");
}

TEST(PanelPalette, LightPanelGivesLightWindowsWithDarkText) {
    const QColor face(0xe6, 0xe2, 0xd6), blue(0x2a, 0x5b, 0xd7);
    const auto colours = PanelPalette::measure(panel(face, blue), std::nullopt);
    ASSERT_TRUE(colours.has_value());
    EXPECT_LT(distance(colours->face, face), 16);
    EXPECT_LT(distance(colours->accent, blue), 24);

    const QPalette p = PanelPalette::derive(*colours);
    EXPECT_GT(PanelPalette::luminance(p.color(QPalette::Window)), 0.6);
    EXPECT_GT(PanelPalette::luminance(p.color(QPalette::Base)), 0.6);
    EXPECT_LT(PanelPalette::luminance(p.color(QPalette::WindowText)), 0.05);
    EXPECT_LT(PanelPalette::luminance(p.color(QPalette::Text)), 0.05);
    expectReadable(p, "light panel");
}

TEST(PanelPalette, MidGreyAndVividFacesKeepTextReadable) {
    // Mid grey is where neither black nor white text reads well; vivid faces are tamed.
    const QColor faces[] = {Qt::black,
                            Qt::white,
                            QColor(0x77, 0x77, 0x77),
                            QColor(0x80, 0x80, 0x80),
                            Qt::red,
                            Qt::yellow,
                            Qt::blue,
                            Qt::magenta,
                            QColor(0x3a, 0x7d, 0x44),
                            PanelPalette::kDefaultAccent};
    const QColor accents[] = {Qt::red, Qt::yellow, QColor(0x20, 0x20, 0x90), Qt::white,
                              PanelPalette::kDefaultAccent};
    for (const QColor& face : faces)
        for (const QColor& accent : accents)
            expectReadable(PanelPalette::derive({face, accent}),
                           (face.name() + " with " + accent.name()).toStdString());
}

TEST(PanelPalette, CutOutAndTransparentPixelsDoNotCount) {
    // A round panel on a white square: the white is cut out of the window.
    QImage image(200, 200, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setBrush(QColor(0x30, 0x18, 0x40));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRect(60, 60, 80, 80));
    p.end();
    EXPECT_EQ(PanelPalette::measure(image, std::nullopt)->face, QColor(Qt::white));
    EXPECT_LT(
        distance(PanelPalette::measure(image, qRgb(255, 255, 255))->face, QColor(0x30, 0x18, 0x40)),
        4);

    QImage alpha(100, 100, QImage::Format_ARGB32);
    alpha.fill(Qt::transparent);
    alpha.setPixel(5, 5, qRgba(200, 10, 10, 255));
    EXPECT_EQ(PanelPalette::measure(alpha, std::nullopt)->face, QColor(200, 10, 10));

    QImage white(50, 50, QImage::Format_RGB32);
    white.fill(Qt::white);
    EXPECT_FALSE(PanelPalette::measure(white, qRgb(255, 255, 255)).has_value());
    EXPECT_FALSE(PanelPalette::measure(QImage(), std::nullopt).has_value());
}

TEST(PanelPalette, PanelWithoutAVividToneTakesTheDefaultAccent) {
    const auto colours =
        PanelPalette::measure(panel(QColor(0x50, 0x50, 0x50), QColor(0x90, 0x90, 0x90)), {});
    ASSERT_TRUE(colours.has_value());
    EXPECT_EQ(colours->accent, PanelPalette::kDefaultAccent);
    // A tone too rare to matter is not taken either.
    QImage speck = panel(QColor(0x50, 0x50, 0x50), QColor(0x90, 0x90, 0x90));
    QPainter(&speck).fillRect(QRect(100, 50, 3, 3), Qt::green);
    EXPECT_EQ(PanelPalette::measure(speck, {})->accent, PanelPalette::kDefaultAccent);
}

}  // namespace
}  // namespace ombrix::test

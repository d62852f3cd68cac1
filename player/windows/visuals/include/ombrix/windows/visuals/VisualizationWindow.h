#pragma once

#include <QImage>
#include <QWidget>
#include <cstdint>

namespace ombrix {

/**
 * @brief The window a Winamp-interface visualisation draws in: its 320 x 240 canvas, enlarged
 *        by whole factors when the window is made larger. Closing it ends the visualisation
 *        (closed()).
 */
class VisualizationWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 320;
    static constexpr int kHeight = 240;

    explicit VisualizationWindow(QWidget* parent = nullptr);
    /// Takes the canvas (kWidth x kHeight XRGB pixels, top row first).
    void setCanvas(const uint32_t* pixels);
    const QImage& canvas() const noexcept { return canvas_; }

signals:
    void closed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QImage canvas_;
};

/// "select plugin": asks which of a library's visualisations to run, one line each. Returns
/// the chosen line's index, or -1 when the user cancelled. Runs the dialog's own loop, so it is
/// called only from a menu choice.
int chooseVisualization(const QStringList& descriptions, QWidget* parent);

}  // namespace ombrix

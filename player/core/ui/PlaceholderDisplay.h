#pragma once

#include <QWidget>

#include "MainDisplay.h"
#include "ombrix/PlayerState.h"

namespace ombrix {

/**
 * @brief A plain display of the three text lines, the time and the status text, drawn with
 *        the desktop's fonts until a panel is loaded.
 *
 * Thread affinity: main thread.
 */
class PlaceholderDisplay final : public QWidget, public MainDisplay {
public:
    explicit PlaceholderDisplay(QWidget* parent = nullptr);

    QWidget* widget() override { return this; }
    void showState(const PlayerState& state) override;
    QSize sizeHint() const override { return {360, 120}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    PlayerState state_;
};

}  // namespace ombrix

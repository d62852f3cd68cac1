#pragma once

class QWidget;

namespace ombrix {

struct PlayerState;

/**
 * @brief What the main window draws: today a plain text display, later the skinned panel.
 *        The window hands it every state change and otherwise does not care how it draws.
 *
 * Thread affinity: main thread.
 */
class MainDisplay {
public:
    virtual ~MainDisplay() = default;
    /// The widget that fills the main window.
    virtual QWidget* widget() = 0;
    /// Shows @p state (called after every change and on every screen tick).
    virtual void showState(const PlayerState& state) = 0;
};

}  // namespace ombrix

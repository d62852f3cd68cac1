#pragma once

class QWidget;

namespace ombrix {

struct PlayerState;

/**
 * @brief What the main window draws: the skinned panel, or a plain text display.
 *        The window hands it every state change and otherwise does not care how it draws.
 *
 * Thread affinity: main thread.
 */
class MainDisplay {
public:
    virtual ~MainDisplay() = default;
    /// The widget that fills the main window.
    virtual QWidget* widget() = 0;
    /// Shows @p state (called after every change).
    virtual void showState(const PlayerState& state) = 0;
    /// The 100 ms display tick with the current state (animations, the level meter).
    virtual void tick(const PlayerState& state) { showState(state); }
    /// Something moves on the display (a song is heard, an animation runs): it needs the tick
    /// while it is seen. Otherwise it changes only with the state.
    virtual bool wantsTicks(const PlayerState& state) const = 0;
    /// The display shows the volume itself (no "volume: N" status is needed).
    virtual bool showsVolume() const { return false; }
};

}  // namespace ombrix

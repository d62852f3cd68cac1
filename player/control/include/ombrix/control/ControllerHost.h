#pragma once

#include <QString>

namespace ombrix {

/**
 * @brief What the playback controller asks of the window around it. Every method has a
 *        do-nothing default so that tests and windowless hosts implement only what they need.
 *
 * Thread affinity: main thread.
 */
class ControllerHost {
public:
    virtual ~ControllerHost() = default;

    /// The program is to close (automatic exit, the terminate key).
    virtual void closeProgram() {}
    /// An information box titled with the application title.
    virtual void showMessage(const QString& text) { (void)text; }
    /// Opens the tag editor on @p file.
    virtual void openTagEditor(const QString& file) { (void)file; }
    /// Hides the main window to the tray (after a start with files).
    virtual void hideToTray() {}
    /// Shows or clears the busy cursor while a song is being opened.
    virtual void setBusyCursor(bool busy) { (void)busy; }
    /// The playlist window, when it is open and visible, selects @p index.
    virtual void selectInPlaylistWindow(int index) { (void)index; }
    /// The playlist window, when it is visible, shows the playlist again.
    virtual void refreshPlaylistWindow() {}
    /// Creates the DJ control window if needed; the controller then enables the effects.
    virtual void ensureDjControl() {}
    /// Creates the equaliser window if needed.
    virtual void ensureEqualizer() {}
    /// The panel shows the volume itself (no "volume: N" status needed).
    virtual bool panelHasVolumeDisplay() const { return false; }
    /// The panel has a level/visualisation box.
    virtual bool panelHasLevelBox() const { return false; }
    virtual void setLevelBoxVisible(bool visible) { (void)visible; }
    /// The panel's scrolling title starts again from its beginning.
    virtual void resetTitleAnimation() {}
    /// The panel's scrolling title stops (after a decoder error).
    virtual void stopTitleAnimation() {}
};

}  // namespace ombrix

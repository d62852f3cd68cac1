#pragma once

#include <QPoint>

namespace ombrix {

/**
 * @brief What the panel's mouse handling asks of the player around it. Every method has a
 *        do-nothing default so that tests implement only what they watch.
 *
 * Thread affinity: main thread.
 */
class PanelCommands {
public:
    virtual ~PanelCommands() = default;

    virtual void openFiles() {}
    /// Whether files may be opened now (not while the player moves on to the next song).
    virtual bool openAllowed() const { return true; }
    virtual void play() {}
    virtual void stop() {}
    virtual void pause() {}
    virtual void resume() {}
    /// A seek button is held: @p forward, or rewind.
    virtual void seekHeld(bool forward) { (void)forward; }
    virtual void seekReleased() {}
    /// A volume button is held: the volume ramps up or down every tick until released.
    virtual void volumeHeld(bool up) { (void)up; }
    virtual void volumeReleased() {}
    virtual void showPlaylist() {}
    virtual void showDjControl() {}
    virtual void closeWindow() {}
    virtual void hideWindow() {}
    virtual void next() {}
    virtual void previous() {}
    /// The plug-in menu at @p panelPoint (image pixels of the panel).
    virtual void pluginMenu(QPoint panelPoint) { (void)panelPoint; }
    virtual void configuration() {}
    /// Flips the option behind toggle element @p element (repeat ... eq).
    virtual void toggle(int element) { (void)element; }
    /// The state of the option behind toggle element @p element.
    virtual bool toggleState(int element) const {
        (void)element;
        return false;
    }
    /// The volume (0..127) and the pan (already rounded) for the sound output.
    virtual void outputLevel(int volume, int pan) {
        (void)volume;
        (void)pan;
    }
    /// The hand cursor over a button, or the default one.
    virtual void setHandCursor(bool hand) { (void)hand; }
    /// The window is to follow the pointer until the button is released.
    virtual void startWindowDrag() {}
    virtual void toggleCoolbar() {}
    virtual void playEntry(int index) { (void)index; }
    virtual void seekTo(double fraction) { (void)fraction; }
    /// The first release on the panel of a first run: the configuration window opens.
    virtual void firstRelease() {}
};

}  // namespace ombrix

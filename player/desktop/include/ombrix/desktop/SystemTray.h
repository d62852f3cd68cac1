#pragma once

namespace ombrix {

/**
 * @brief The desktop's notification area (the "system tray"), as far as the player asks about
 *        it: whether it exists. Many desktops have none (GNOME without an extension, a bare
 *        window manager, a virtual display); a window hidden "to the tray" there could not be
 *        found again.
 *
 * Thread affinity: main thread. Nothing throws.
 */
class SystemTray {
public:
    SystemTray() = default;
    virtual ~SystemTray() = default;
    SystemTray(const SystemTray&) = delete;
    SystemTray& operator=(const SystemTray&) = delete;

    /// The desktop shows tray icons now.
    virtual bool available() const = 0;

    /**
     * @brief After a start with files the window hides to the tray once the first song plays:
     *        when the user asked for it (@p glbhide), not in coolbar mode, and only when the
     *        desktop has a tray to hide to; otherwise the window stays shown.
     */
    static bool hideAfterStart(bool glbhide, bool coolbar, bool trayAvailable) noexcept {
        return glbhide && !coolbar && trayAvailable;
    }
};

}  // namespace ombrix

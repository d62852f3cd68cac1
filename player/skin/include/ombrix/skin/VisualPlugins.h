#pragma once

#include <QList>
#include <QRgb>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "ombrix/skin/BumpBackground.h"
#include "ombrix/skin/PluginCatalog.h"
#include "ombrix/skin/PluginHost.h"
#include "ombrix/skin/ScreenDisplay.h"

namespace ombrix {

/**
 * @brief Which background, full-screen and visualisation plug-ins run, and what each tick gives
 *        them: the menus' choices carried out on the screen and the plug-in hosts.
 *
 * Background items: 0 "default", 1 "bump", 2 onwards the background plug-ins in menu order.
 * A plug-in that cannot be loaded gives "Invalid plugin."; a background plug-in whose host dies
 * or stops answering is ended and the default background comes back, with the reason on the
 * status line (through the message callback).
 * Thread affinity: main thread.
 */
class VisualPlugins final : public ScreenBackgroundSource {
public:
    /// What a tick hands the plug-ins: the screen's first line, the play time (0 when stopped
    /// or paused), the levels (0..32767 and above) and, for a visualisation, the engine's
    /// waveform and spectrum (2 x 576 bytes each, or null).
    struct TickInput {
        QString title;
        int timeMs = 0;
        int left = 0;
        int right = 0;
        const uint8_t* waveform = nullptr;
        const uint8_t* spectrum = nullptr;
    };
    struct Hooks {
        /// The bump settings as stored now.
        std::function<BumpBackground::Light()> bumpLight;
        /// A status line text ("Invalid plugin.", why a plug-in was ended).
        std::function<void(const QString&)> message;
    };

    /// @p home is the program folder: plug-ins are looked for in its "plugin" folder.
    VisualPlugins(QString home, Hooks hooks);
    ~VisualPlugins() override;

    /// Lists the plug-ins (once at start; again when the folder may have changed).
    void scan();
    /// Menu captions of one kind (file names without extension).
    QStringList captions(PluginKind kind) const;
    /// "bg/default", "bg/bump", then every plug-in as "bg/x.so", "full/y.so", "amp/z.so".
    QStringList entries() const;
    /// The path of entry @p entry of entries(), empty for the two built-in backgrounds.
    QString entryPath(const QString& entry) const;
    static PluginKind entryKind(const QString& entry);

    /// The screen the background is drawn on; null while the display has none.
    void setScreen(ScreenDisplay* screen);
    /// Chooses background item @p index; "default" again while it is chosen does nothing, any
    /// other item is loaded anew.
    void chooseBackground(int index);
    int backgroundIndex() const noexcept { return backgroundIndex_; }

    /// Loads full-screen plug-in @p index for the full-screen window; false (with the message
    /// given) when it cannot be loaded.
    bool openFullScreen(int index);
    void closeFullScreen();
    bool fullScreenOpen() const noexcept { return fullOpen_; }
    /// The full-screen plug-in's last frame (320 x 240, bottom-up) and its colours; a plug-in
    /// that failed leaves its last picture.
    const uint8_t* fullScreenFrame() const noexcept { return fullFrame_.data(); }
    const QList<QRgb>& fullScreenPalette() const noexcept { return fullPalette_; }

    /// Loads visualisation @p index; @p pick chooses among a library's several modules (-1:
    /// cancelled, nothing runs). False when nothing runs.
    bool chooseAmp(int index, const std::function<int(const QStringList&)>& pick);
    void closeAmp();
    int ampIndex() const noexcept { return ampIndex_; }
    bool ampRunning() const noexcept { return amp_ != nullptr; }
    /// The visualisation's last canvas (320 x 240 XRGB), null when none.
    const uint32_t* ampCanvas() const;

    /// The full-screen or visualisation plug-in runs: ticks are needed even when the panel is
    /// not seen.
    bool active() const noexcept { return fullOpen_ || amp_; }
    /// Anything that wants the levels (a plug-in of any kind).
    bool wantsLevels() const noexcept { return active() || background_; }

    /// One tick: the full-screen and visualisation plug-ins draw; the background plug-in is
    /// given @p input for the screen's next tick. Hosts that failed are ended here.
    void tick(const TickInput& input);

    /// Unloads every plug-in (before the engine goes at the program's end).
    void unloadAll();

    // ScreenBackgroundSource
    bool drawFrame(uint8_t* frame, QList<QRgb>& palette) override;

private:
    std::unique_ptr<PluginHost> load(PluginKind kind, const QString& caption);
    void fail(const QString& why);

    QString home_;
    Hooks hooks_;
    PluginCatalog catalog_;
    ScreenDisplay* screen_ = nullptr;
    int backgroundIndex_ = 0;
    int ampIndex_ = -1;
    std::unique_ptr<PluginHost> background_;
    std::unique_ptr<PluginHost> full_;
    std::unique_ptr<PluginHost> amp_;
    QList<QRgb> fullPalette_;
    std::vector<uint8_t> fullFrame_;
    bool fullOpen_ = false;
    TickInput input_;
};

}  // namespace ombrix

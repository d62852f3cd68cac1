#pragma once

#include <QList>
#include <QRgb>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <vector>

#include "ombrix/skin/PluginKind.h"

namespace ombrix {

class HostProcess;

/**
 * @brief One visual plug-in (background, full-screen or amp), run by ombrix-plugin-host in a
 *        process of its own, and the copies of what it drew.
 *
 * A plug-in that crashes, hangs or scribbles ends only its host: this object then reports
 * failed() and keeps the last frame it had. Every call is bounded: update() never waits,
 * load() waits at most kLoadLimitMs for the plug-in to start, unload() at most kCloseLimitMs
 * for it to end before the host is killed; a host is always reaped.
 *
 * Use, once a tick (the lead's screen tick, the full-screen and amp windows):
 * @code
 *   PluginHost host(PluginKind::Background);
 *   QString error;
 *   if (!host.load(path, home, &error)) showMessage(error);      // "Invalid plugin."
 *   ...
 *   host.update(title, timeMs, left, right, nullptr, nullptr);  // each tick
 *   if (host.failed()) { showMessage(host.failure()); host.unload(); }
 *   else { if (host.takePaletteChanged()) setPalette(host.palette()); copy(host.frame()); }
 * @endcode
 * Thread affinity: main thread (the thread that created it).
 */
class PluginHost {
public:
    static constexpr int kMissedTicks = 10;      ///< updates without an answer before the kill
    static constexpr int kLoadLimitMs = 5000;    ///< for loading (and _Open)
    static constexpr int kAnswerLimitMs = 2000;  ///< choosing a module, a description, settings
    static constexpr int kCloseLimitMs = 500;    ///< for _Close and the host's end

    /// Frame 220 x 80 (background) or 320 x 240 (full screen); amp: a 320 x 240 canvas.
    explicit PluginHost(PluginKind kind);
    ~PluginHost();  ///< unload()
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    /**
     * @brief Starts a host and loads @p path in it (background, full screen: _Open; amp: reads
     *        the modules and chooses module 0). Unloads what was loaded before.
     * @param programFolder the home, ending in "/" (the record's program directory).
     * @return false with *error = "Invalid plugin." when it cannot be loaded (not a library, an
     *         export missing, a crash or hang while starting), or "invalid format" for an amp
     *         library without winampVisGetHeader. failure() then says more.
     */
    bool load(const QString& path, const QString& programFolder, QString* error);
    /// Amp: the modules' descriptions, filled by load(); module 0 is chosen until selectModule.
    QStringList ampModules() const;
    /// Amp: chooses module @p index (Init runs before its first Render). False when there is no
    /// such module or the host failed.
    bool selectModule(int index);

    /**
     * @brief One tick: collects the answer to the previous update when it came (copying the
     *        frame, the palette and its flag, or the canvas), then sends the next update.
     *
     * Never waits. An update that has not been answered for kMissedTicks ticks, or a host that
     * died, ends the host: failed() turns true. Levels go into the record as given (the level
     * / 256 of the effects engine); @p waveform and @p spectrum are 2 x 576 bytes or null (amp).
     */
    void update(const QString& title, int timeMs, int leftLevel, int rightLevel,
                const uint8_t* waveform = nullptr, const uint8_t* spectrum = nullptr);
    /// Waits up to @p limitMs for the answer to the update in flight and collects it; false when
    /// none is in flight, it did not come, or the host died (then failed()). For tests and
    /// measurements: a tick never needs it.
    bool waitForAnswer(int limitMs);

    bool loaded() const;
    bool failed() const { return failed_; }
    /// Why it failed, for the status line: "plug-in crashed", "plug-in stopped responding", ...
    QString failure() const { return failure_; }

    int width() const { return width_; }
    int height() const { return height_; }
    /// The last completed frame: width() x height() palette indices, rows bottom-up.
    const uint8_t* frame() const { return frame_.data(); }
    /// 256 colours from the plug-in's palette (blue, green, red, reserved), as read at load and
    /// after each update that set the palette-changed flag.
    QList<QRgb> palette() const { return palette_; }
    /// True once after an update that set the palette-changed flag.
    bool takePaletteChanged();
    /// Amp: the last rendered canvas, 320 x 240 pixels 0x00RRGGBB, rows top-down.
    const uint32_t* canvas() const { return canvas_.data(); }

    /// _Close (or Quit) and unload, the host ends (waits kCloseLimitMs, then kills it).
    void unload();

    /// The plug-in's description (_Description, lines at line feeds; amp: its modules' names,
    /// one a line), read in a host of its own; "" when there is none or it cannot be read.
    static QString description(PluginKind kind, const QString& path);
    /**
     * @brief Runs the plug-in's own settings (_Config with a record; amp: module @p module's
     *        config) in a host of its own and returns at once; the settings stay open as long as
     *        the plug-in keeps them.
     * @return false when the plug-in has none or cannot be loaded (the caller then shows
     *         "Invalid format.").
     */
    static bool configure(PluginKind kind, const QString& path, const QString& programFolder,
                          int module = 0);

    /// The host program: $OMBRIX_PLUGIN_HOST, else next to the program, else
    /// ../lib/ombrix/ from it (installed); "" when none is there.
    static QString hostProgram();

private:
    void collect(bool ok);
    void fail(const QString& reason);
    void readPalette();

    PluginKind kind_;
    int width_;
    int height_;
    std::unique_ptr<HostProcess> process_;
    bool pending_ = false;
    int missed_ = 0;
    bool failed_ = false;
    QString failure_;
    bool paletteChanged_ = false;
    std::vector<uint8_t> frame_;
    std::vector<uint32_t> canvas_;
    QList<QRgb> palette_;
    QStringList modules_;
};

}  // namespace ombrix

#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "ombrix/settings/Home.h"
#include "ombrix/settings/MediaTypes.h"
#include "ombrix/settings/PlayerSettings.h"
#include "ombrix/settings/ProcessorFeatures.h"

namespace ombrix {

/**
 * @brief Reads and writes the player's settings files at the moments the program needs them:
 *        loadOptions() before the main window is built, loadSettings() while it is built,
 *        saveSettings() when it closes and saveOptions() at exit.
 *
 * Every save re-reads the file and changes only the keys it owns, so sections and keys written
 * by other windows (or unknown to this version) survive; files are replaced atomically. A file
 * that exists but cannot be read or is not INI text is never written: loading gives the
 * defaults, saving leaves it alone, and the problem is reported once (takeProblems()).
 * Thread affinity: main thread.
 */
class SettingsStore : public QObject {
    Q_OBJECT
public:
    static inline const QString kPluginIni = QStringLiteral("plugin.ini");
    static inline const QString kMediaIni = QStringLiteral("resource/media.ini");
    /// Lists of recent files and folders keep at most this many entries.
    static constexpr int kMaxRecent = 10;

    SettingsStore(Home home, ProcessorFeatures cpu);

    const PlayerSettings& settings() const noexcept { return settings_; }
    /// Changes the settings through @p edit, then signals changed(). The only way to write them.
    void change(const std::function<void(PlayerSettings&)>& edit);
    MediaTypes& mediaTypes() noexcept { return mediaTypes_; }
    const MediaTypes& mediaTypes() const noexcept { return mediaTypes_; }
    const Home& home() const noexcept { return home_; }
    const ProcessorFeatures& processor() const noexcept { return cpu_; }

    /// The "options" keys, "localfont" and the media types.
    void loadOptions();
    /// Everything else of "ombrix player.ini" and "plugin.ini".
    void loadSettings();
    /// The non-"options" keys, fonts, window position, recent lists; "plugin.ini" when the
    /// configuration window was opened. @throws FileError when a file cannot be written.
    void saveSettings();
    /// The "options" keys and the media types. @throws FileError.
    void saveOptions();
    /// Both saves with one read and one write of the main file (the exit and the autosave).
    void saveAll();

    /// The main settings file as it is now, for the sections a tool window keeps there
    /// (empty when it cannot be read; the problem is reported once).
    IniDocument readMain();
    /**
     * @brief Changes the main settings file: @p change edits a fresh reading of it, which is
     *        then written atomically. Keys the change does not touch stay as they were. Does
     *        nothing when the file exists but cannot be read (reported once).
     * @throws FileError when the file cannot be written.
     */
    void updateMain(const std::function<void(IniDocument&)>& change);

    /// Messages for the user about settings files that cannot be read, each given once; the
    /// list is emptied.
    QStringList takeProblems();

    /// The configuration window was opened: first-run set-up is over.
    void markConfigurationOpened() noexcept;
    bool configurationOpened() const noexcept { return configOpened_; }

    /// MMX is used only when the setting is on and the processor has it.
    bool effectiveMmx() const noexcept { return settings_.usemmx && cpu_.mmx; }
    /// 3DNow! is used only when the setting is on and the processor has it.
    bool effective3DNow() const noexcept { return settings_.usek63d && cpu_.amd3dnow; }

    /**
     * @brief First-run set-up while firsttime is 1: creates @p tempFolder and "plugin/amp",
     *        and takes the language from @p systemIsJapanese (the screen font then takes the
     *        localfont name).
     * @throws PrivateFolderError when @p tempFolder is not a private folder.
     */
    void firstRun(const QString& tempFolder, bool systemIsJapanese);

    /// Adds @p file at the front of the recent files (once; at most kMaxRecent).
    void addRecentFile(const QString& file);
    /// Adds @p folder at the front of the recent folders (once; at most kMaxRecent).
    void addRecentFolder(const QString& folder);

    QString mainIniPath() const { return home_.path(Home::kMainIni); }
    QString pluginIniPath() const { return home_.path(kPluginIni); }
    QString mediaIniPath() const { return home_.path(kMediaIni); }

signals:
    /// The settings were changed, loaded or set up; readers take settings() again.
    void changed();

private:
    /// @p path for changing: nullopt (reported once) when it exists but cannot be read.
    std::optional<IniDocument> readForUpdate(const QString& path);
    IniDocument readForLoad(const QString& path);
    void writeSettings(IniDocument& ini) const;
    void writeOptions(IniDocument& ini) const;
    void savePluginOptions();
    void saveMediaTypes();

    Home home_;
    ProcessorFeatures cpu_;
    PlayerSettings settings_;
    MediaTypes mediaTypes_;
    bool configOpened_ = false;
    QStringList problems_;
    QSet<QString> reported_;
};

}  // namespace ombrix

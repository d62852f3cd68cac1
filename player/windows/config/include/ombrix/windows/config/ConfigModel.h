#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "ombrix/desktop/FileAssociations.h"
#include "ombrix/settings/MediaTypes.h"
#include "ombrix/settings/PlayerSettings.h"
#include "ombrix/windows/config/ConfigControl.h"

namespace ombrix {

class SettingsStore;

/**
 * @brief What the configuration window edits, without widgets: a draft of the settings, the
 *        media types and the playlist window's colour and font, filled from the store by
 *        load() and written by apply() (the window's "ok"); dropping the model discards them.
 *
 * apply() checks every value; one that is not valid (a key combination that cannot be read, a
 * port that is no port, an address that is none) keeps its stored value and is reported, and
 * everything else is still applied. The store's change signal carries the result to the
 * running program; the file associations are written after it.
 * Thread affinity: main thread.
 */
class ConfigModel {
public:
    struct Hooks {
        /// The telnet server follows the settings; returns why it does not listen when it
        /// should (empty when all is well).
        std::function<QString()> telnet;
        /// The playlist window takes its colour and font again.
        std::function<void()> playlistAppearance;
    };

    static inline const QString kPlaylistSection = QStringLiteral("fplaylist");
    static inline const QString kPlaylistColorKey = QStringLiteral("ListBox1.Color");
    static inline const QString kPlaylistFontKey = QStringLiteral("listbox1.font");
    static constexpr qint64 kPlaylistDefaultColor = 4202496;

    ConfigModel(SettingsStore& store, FileAssociations associations, Hooks hooks = {});

    /// Fills the draft from the store.
    void load();

    PlayerSettings& draft() noexcept { return draft_; }
    const PlayerSettings& draft() const noexcept { return draft_; }
    /// The value of @p control in the draft: a bool as 0 or 1, an int (a key's code) as is.
    int value(const ConfigControl& control) const;
    void setValue(const ConfigControl& control, int value);
    QString text(const ConfigControl& control) const;
    void setText(const ConfigControl& control, const QString& text);

    /// The media types being edited; flags are the "associate" values.
    MediaTypes& types() noexcept { return types_; }
    int flags(int type) const;
    void setFlag(int type, int flag, bool on);

    qint64 playlistColor = kPlaylistDefaultColor;  ///< COLORREF 0x00BBGGRR
    FontSetting playlistFont{QString(), 0, 9, 0};

    /// Writes the draft to the store and the associations to the desktop. Returns messages
    /// for the user about what could not be applied.
    QStringList apply();

    /// The "chks3" option, kept beside the window's position.
    static bool readSkipSafe(SettingsStore& store);
    static void writeSkipSafe(SettingsStore& store, bool on);

private:
    /// Empty when @p text is a valid value for @p control, else why not.
    static QString problemWith(const ConfigControl& control, const QString& text);

    SettingsStore& store_;
    FileAssociations associations_;
    Hooks hooks_;
    PlayerSettings draft_;
    MediaTypes types_;
    QString storedPlaylistFont_;
};

}  // namespace ombrix

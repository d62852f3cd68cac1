#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <utility>

namespace ombrix {

/**
 * @brief The player's home: the folder that holds its settings files, panels, "fx", "plugin",
 *        "resource" and "file" folders. Every relative name the player uses is relative to it.
 *
 * Thread affinity: a value type.
 */
class Home {
public:
    /// Name of the main settings file, also the mark of a portable installation.
    static inline const QString kMainIni = QStringLiteral("ombrix player.ini");

    /**
     * @brief Where the home is: "--home DIR" (or "--home=DIR") in @p args, else $OMBRIX_HOME,
     *        else @p exeDir when it holds "ombrix player.ini", else $XDG_DATA_HOME/ombrix
     *        (default ~/.local/share/ombrix).
     */
    static QString resolve(const QStringList& args, const QProcessEnvironment& env,
                           const QString& exeDir);

    /**
     * @brief The folder of the installed default data: $OMBRIX_DATA_DIR, else
     *        @p exeDir/../share/ombrix/default, else the data built with this program.
     * @return an empty string when none of them exists.
     */
    static QString defaultDataDir(const QProcessEnvironment& env, const QString& exeDir);

    /**
     * @brief The private temporary folder of this user, created when missing:
     *        $XDG_RUNTIME_DIR/ombrix when XDG_RUNTIME_DIR is a private folder of this user,
     *        else $TMPDIR (or the system temporary folder) + "ombrix-" + the numeric user id.
     * @throws PrivateFolderError (with a message for the user) when the folder cannot be
     *         created or is not private (a link, another owner, open to others).
     */
    static QString tempFolder(const QProcessEnvironment& env);

    explicit Home(QString dir) : dir_(std::move(dir)) {}

    const QString& dir() const noexcept { return dir_; }
    /// @p relative below the home (separators "/").
    QString path(const QString& relative) const;

    /**
     * @brief Creates the home if needed and copies every file of @p defaultData that the home
     *        lacks (existing files are never overwritten); makes sure "fx", "plugin/bg",
     *        "plugin/full", "plugin/amp" and "file" exist.
     * @return false when the home folder cannot be created.
     */
    bool seed(const QString& defaultData) const;

private:
    QString dir_;
};

}  // namespace ombrix

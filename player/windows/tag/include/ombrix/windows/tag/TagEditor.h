#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "ombrix/library/SongTag.h"

namespace ombrix {

class PlaybackController;

/**
 * @brief The tag editor without its widgets: the file being edited, the field values, whether
 *        they were changed, and loading, saving and unifying.
 *
 * A save writes only fields that were loaded from the current file: after a failed load, or
 * before any load, a save is refused. The tag of the file being played comes from the
 * controller (it may hold edits not yet written) and goes back to it; the controller writes it
 * when the song closes, because the file is open for playback.
 * Thread affinity: main thread (it calls the controller). Throws nothing.
 */
class TagEditor {
public:
    /// Longest ID3v1 text field, in characters (the year has 4).
    static constexpr int kId3TextLength = 30;
    static constexpr int kId3YearLength = 4;

    /// The texts the window shows. In ID3 mode the genre is genreIndex (0..255); in RIFF mode
    /// it is the free text genreName.
    struct Fields {
        QString title;
        QString artist;
        QString comment;
        QString album;
        QString year;
        QString copyright;
        QString source;
        QString genreName;
        int genreIndex = 0;
    };

    /// The fields a unify can copy into every file of a folder.
    enum class Field { Title, Artist, Comment, Album, Year };

    enum class SaveResult {
        Unchanged,  ///< nothing was modified; nothing written
        Written,    ///< the tag was written into the file
        Deferred,   ///< the file is being played: the controller writes it when the song closes
        Failed,     ///< nothing written; error() says why
    };

    struct UnifyResult {
        int written = 0;  ///< files saved (or deferred, for the file being played)
        bool cancelled = false;
        QStringList errors;  ///< one message per file that was not changed
    };

    /// Called before each file with the files done so far and the total; false cancels.
    using Progress = std::function<bool(int done, int total)>;

    explicit TagEditor(PlaybackController& controller);

    const QString& currentFile() const noexcept { return currentFile_; }
    /// Makes @p file the current file without reading it (nothing can be saved until a load).
    void setCurrentFile(const QString& file);
    /// The fields hold what was read from the current file (and may be saved into it).
    bool loaded() const noexcept { return loaded_; }
    bool modified() const noexcept { return modified_; }
    void setModified(bool on) noexcept { modified_ = on; }
    bool riffMode() const noexcept { return riffMode_; }

    const Fields& fields() const noexcept { return fields_; }
    /// Replaces the field values (the window's controls); does not mark them modified.
    void setFields(const Fields& fields) { fields_ = fields; }
    /// Sets one unifiable field.
    void setField(Field field, const QString& value);
    QString field(Field field) const;

    /// Longest text a field may hold in the current mode; 0 means no limit (RIFF).
    int maxLength(Field field) const noexcept;

    /// "%d kbyte" of the file size, then " (RIFF MP3)" or " (ID3TAG)"; empty before a load.
    QString infoText() const;

    /**
     * @brief Makes @p file current and shows its tag: the controller's tag when it is the file
     *        being played, else the tag read from the file. Clears modified.
     * @return false when the file cannot be read (error() says why); the fields are then
     *         cleared and a save is refused.
     */
    bool load(const QString& file);

    /// Saves the fields into the current file when they were modified (see SaveResult).
    SaveResult save();

    /// The message of the last failed load or save, naming the file.
    const QString& error() const noexcept { return error_; }

    /// "title", "artist", "comment", "albumname" or "year".
    static QString fieldName(Field field);
    /// "Do you unify the <name> of <count> files with "<value>"?"
    static QString unifyQuestion(Field field, int count, const QString& value);

    /// Loads @p file, sets @p field to @p value, marks it modified and saves. @return an
    /// error message, or empty when the file was saved.
    QString unifyOne(Field field, const QString& value, const QString& file);
    /// unifyOne() for every file of @p files in order; @p progress may cancel between files.
    UnifyResult unify(Field field, const QString& value, const QStringList& files,
                      const Progress& progress = {});

    /// The file list's name patterns (matched in any letter case).
    static QStringList namePatterns();
    /// True for a file whose kind has a tag this editor writes (by its name).
    static bool canEdit(const QString& file);

private:
    void showRecord(const SongTag& tag);
    void copyInto(SongTag& tag) const;
    QString limited(Field field, const QString& text) const;
    QString writeFailure(const QString& file) const;

    PlaybackController& controller_;
    QString currentFile_;
    Fields fields_;
    qint64 fileSize_ = -1;
    bool loaded_ = false;
    bool modified_ = false;
    bool riffMode_ = false;
    QString error_;
};

}  // namespace ombrix

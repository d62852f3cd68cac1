#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace ombrix {

class MediaIdentifier;

/// What a drop contributes to the playlist.
struct DropResult {
    QStringList files;        ///< entries to add, in order (long names and web addresses)
    QStringList statusTexts;  ///< texts for the status line, each once, in order of appearance
    bool cancelled = false;   ///< the progress callback asked to stop; files is then empty
};

/**
 * @brief Turns the names dropped on the window into playlist entries.
 *
 * A folder contributes every file in it and in its subfolders: the subfolders first
 * (recursively), names sorted within a folder; hidden entries and symbolic links to folders are
 * skipped, so the walk cannot loop. Each file is expanded by EntryExpander with the drop's
 * rules: a shell link (".lnk") stands for its target (a link whose target is missing is skipped);
 * an Internet shortcut (".url") contributes its "URL"; a supported extension contributes the long
 * name; any other extension gives the status text "<extension> is not supported". At most
 * kMaxFiles files are collected.
 *
 * Thread affinity: any; collect() touches no shared state and no GUI, so the window may run it
 * on a worker thread. Nothing throws.
 */
class DropCollector {
public:
    /// Most files one drop collects.
    static constexpr qsizetype kMaxFiles = 100000;
    /// Most folder entries one drop examines (bounds the walk of huge or looping trees).
    static constexpr qsizetype kMaxEntries = 1000000;
    /// The progress callback is called each time this many more entries have been examined.
    static constexpr qsizetype kProgressInterval = 256;

    /**
     * @brief Collects the entries of @p dropped.
     * @param media decides which extensions are supported
     * @param progress called with the number of entries examined so far, every
     *        kProgressInterval entries; returning false cancels the drop
     */
    static DropResult collect(const QStringList& dropped, const MediaIdentifier& media,
                              const std::function<bool(int filesSeen)>& progress = {});

    /**
     * @brief Collects the names of a command line or of a second start: a folder contributes
     *        what a drop of it would (the same walk, rules and limits); any other name is kept
     *        as it is, in its place, for the controller to expand (playlists, archives) or to
     *        report ("file not found").
     */
    static DropResult collectNames(const QStringList& names, const MediaIdentifier& media,
                                   const std::function<bool(int filesSeen)>& progress = {});

    /// One of @p names is a local folder, whose walk may take long enough to belong on a worker
    /// thread.
    static bool namesFolder(const QStringList& names);
};

}  // namespace ombrix

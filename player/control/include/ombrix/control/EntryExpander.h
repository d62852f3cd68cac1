#pragma once

#include <QString>
#include <QStringList>

namespace ombrix {

class MediaIdentifier;

/// How one caller turns a name into playlist entries; each caller keeps its own rules.
struct ExpansionRules {
    /// A shell link (".lnk") stands for its target, followed up to kMaxLinkDepth links.
    bool followLinks = false;
    /// ... and a link whose target is missing says "cannot follow <name>".
    bool reportBrokenLinks = true;
    /// An Internet shortcut (".url") contributes its "URL".
    bool shortcutUrls = false;
    /// A playlist (".dmp", ".m3u") contributes its entries.
    bool expandPlaylists = true;
    /// Lines of a playlist that start with "@" are left out.
    bool skipMarkedLines = false;
    /// A zip archive contributes one entry a playable member.
    bool expandArchives = true;
    /// Web addresses are entries; when false they are left out (the caller fetches them).
    bool keepWebAddresses = true;
    /// Names whose type the media types do not know are left out.
    bool onlySupported = false;
    /// ... and say "<extension> is not supported".
    bool reportUnsupported = false;
    /// Local names become full paths (network paths "//..." stay as they are).
    bool absolutePaths = false;
    /// Local names become their long form (CommandLine::longForm).
    bool longNames = false;
};

/// What one name contributed.
struct Expansion {
    QStringList entries;
    QStringList problems;  ///< texts for the status line, in order ("cannot read list.dmp")
};

/**
 * @brief Turns a file, playlist, archive, link or web address into playlist entries: the one
 *        place where the player decides what a name added from anywhere stands for.
 *
 * Thread affinity: any; reads files, touches no shared state, throws nothing.
 */
class EntryExpander {
public:
    static constexpr int kMaxLinkDepth = 8;

    static Expansion expand(const QString& name, const MediaIdentifier& media,
                            const ExpansionRules& rules);

    /// The "URL" of an Internet shortcut file, empty when it has none or cannot be read.
    static QString shortcutUrl(const QString& path);
    /// Largest ".url" file that is read.
    static constexpr qint64 kMaxShortcutBytes = 64 * 1024;
};

}  // namespace ombrix

#include "ombrix/control/EntryExpander.h"

#include <mixora.h>

#include <QFile>
#include <QFileInfo>

#include "ombrix/control/CommandLine.h"
#include "ombrix/library/PlaylistEntry.h"
#include "ombrix/library/PlaylistFile.h"
#include "ombrix/media/MediaIdentifier.h"
#include "ombrix/media/ZipArchive.h"
#include "ombrix/settings/IniDocument.h"
#include "ombrix/settings/TextFile.h"

namespace ombrix {
namespace {

bool isWebAddress(const QString& name) {
    return name.startsWith(QLatin1String("http"));
}

QString resolveLink(const QString& link) {
    return QFile::decodeName(ResolveLink(QFile::encodeName(link).constData()));
}

void readPlaylist(const QString& name, const QString& shown, const ExpansionRules& rules,
                  Expansion& out) {
    const bool m3u = MediaIdentifier::extension(name) == QLatin1String(".m3u");
    try {
        QStringList lines = TextFile::readLines(name);
        if (rules.skipMarkedLines)
            lines.removeIf([](const QString& l) { return l.startsWith('@'); });
        for (const QString& line :
             PlaylistFile::complete(lines, QFileInfo(name).absolutePath(), m3u)) {
            if (line.trimmed().isEmpty()) continue;
            // ".m3u" comment and directive lines ("#EXTINF:...") are not entries.
            if (m3u && line.startsWith(QLatin1Char('#'))) continue;
            out.entries.append(line);
        }
    } catch (const FileError&) {
        out.problems << QStringLiteral("cannot read ") + shown;
    }
}

void listArchive(const QString& name, const QString& shown, const MediaIdentifier& media,
                 const ExpansionRules& rules, Expansion& out) {
    try {
        const ZipArchive zip(name);
        const QString path = rules.absolutePaths ? QFileInfo(name).absoluteFilePath() : name;
        const qsizetype playable = media.playableMembers(zip.members()).size();
        for (int ordinal = 0; ordinal < playable; ++ordinal)
            out.entries.append(PlaylistEntry::archiveMember(path, ordinal));
        if (playable == 0) out.problems << QStringLiteral("nothing playable in ") + shown;
    } catch (const std::exception&) {
        out.problems << QStringLiteral("cannot read ") + shown;
    }
}

}  // namespace

Expansion EntryExpander::expand(const QString& given, const MediaIdentifier& media,
                                const ExpansionRules& rules) {
    Expansion out;
    QString name = given;
    if (isWebAddress(name)) {
        if (rules.keepWebAddresses) out.entries << name;
        return out;
    }
    QString ext = MediaIdentifier::extension(name);
    for (int depth = 0; rules.followLinks && ext == QLatin1String(".lnk"); ++depth) {
        const QString target = depth < kMaxLinkDepth ? resolveLink(name) : QString();
        const QFileInfo info(target);
        if (target.isEmpty() || target == name || !info.exists()) {
            if (rules.reportBrokenLinks)
                out.problems << QStringLiteral("cannot follow ") + QFileInfo(given).fileName();
            return out;
        }
        if (info.isDir()) return out;  // a link to a folder contributes nothing
        name = target;
        ext = MediaIdentifier::extension(name);
    }
    const QString shown = QFileInfo(name).fileName();
    if (rules.shortcutUrls && ext == QLatin1String(".url")) {
        const QString url = shortcutUrl(name);
        if (!url.isEmpty()) out.entries << url;
        return out;
    }
    if (rules.expandPlaylists && (ext == QLatin1String(".dmp") || ext == QLatin1String(".m3u"))) {
        readPlaylist(name, shown, rules, out);
        return out;
    }
    if (rules.expandArchives && ext == QLatin1String(".zip")) {
        listArchive(name, shown, media, rules, out);
        return out;
    }
    if (rules.onlySupported && !media.isSupported(name)) {
        // A name without an extension is named as a whole, so the text never starts blank.
        if (rules.reportUnsupported)
            out.problems << (ext.isEmpty() ? shown : ext) + QStringLiteral(" is not supported");
        return out;
    }
    if (rules.longNames)
        out.entries << CommandLine::longForm(name);
    else if (rules.absolutePaths && !name.startsWith(QLatin1String("//")))
        out.entries << QFileInfo(name).absoluteFilePath();
    else
        out.entries << name;
    return out;
}

QString EntryExpander::shortcutUrl(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = f.read(kMaxShortcutBytes);
    return IniDocument::parse(TextFile::decodeLines(bytes))
        .readString(QStringLiteral("InternetShortcut"), QStringLiteral("URL"))
        .trimmed();
}

}  // namespace ombrix

#include "ombrix/library/PlaylistFile.h"

#include <QDir>
#include <QFileInfo>

#include "ombrix/media/MediaIdentifier.h"
#include "ombrix/settings/TextFile.h"

namespace ombrix {

QStringList PlaylistFile::complete(const QStringList& lines, const QString& folder, bool m3u) {
    QStringList out = lines;
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    for (QString& line : out) {
        if (line.size() < 3) break;
        if (QDir::isAbsolutePath(line) || line.startsWith(QLatin1String("http"))) continue;
        if (m3u && line.startsWith(QLatin1Char('#'))) continue;
        // Playlists written on Windows separate folders with backslashes.
        QString rel = line;
        rel.replace(QLatin1Char('\\'), QLatin1Char('/'));
        line = prefix + rel;
    }
    return out;
}

QStringList PlaylistFile::load(const QString& fileName) {
    const QStringList lines = TextFile::readLines(fileName);
    const QFileInfo fi(fileName);
    return complete(lines, fi.absolutePath(),
                    MediaIdentifier::extension(fileName) == QLatin1String(".m3u"));
}

void PlaylistFile::save(const QString& fileName, const QStringList& entries) {
    TextFile::writeLines(fileName, entries);
}

}  // namespace ombrix

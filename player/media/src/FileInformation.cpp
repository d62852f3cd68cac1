#include "ombrix/media/FileInformation.h"

#include <QFileInfo>

#include "ombrix/media/MediaIdentifier.h"
#include "ombrix/settings/TextFile.h"

namespace ombrix {

FileInformation FileInformation::build(const QString& file, int kind, const QString& tag1,
                                       const QString& tag2, const QString& tag3) {
    FileInformation info;
    const QFileInfo fi(file);
    const QString ext = MediaIdentifier::extension(file);
    info.list.append(fi.fileName());
    const QString sizeText =
        fi.isFile() ? QString::number(fi.size()) + QStringLiteral(" bytes") : QString();
    info.line1 = tag1.isEmpty() ? fi.completeBaseName() : tag1;

    if (kind == kKindMpeg) {
        info.line2 = tag2.isEmpty() ? QStringLiteral("mpeg audio") : tag2;
        if (tag3.isEmpty())
            info.line3IsTime = true;
        else
            info.line3 = tag3;
        info.list.append(QStringLiteral("mpeg audio"));
        if (ext == QLatin1String(".mp3"))
            info.list.append(QStringLiteral("layer 3"));
        else if (ext == QLatin1String(".mp2"))
            info.list.append(QStringLiteral("layer 2"));
        else if (ext == QLatin1String(".rmp"))
            info.list.append(QStringLiteral("RIFF Mpeg Audio"));
        else
            info.list.append(sizeText);
    } else if (kind == kKindMci) {
        QString second, item;
        if (ext == QLatin1String(".mid") || ext == QLatin1String(".midi") ||
            ext == QLatin1String(".rmi")) {
            second = item = QStringLiteral("standard midi");
        } else if (ext == QLatin1String(".flac")) {
            second = item = QStringLiteral("flac audio");
        } else if (ext == QLatin1String(".ogg") || ext == QLatin1String(".oga")) {
            second = item = QStringLiteral("ogg audio");
        } else if (ext == QLatin1String(".opus")) {
            second = item = QStringLiteral("opus audio");
        } else if (ext == QLatin1String(".wav")) {
            second = QStringLiteral("wave");
            item = QStringLiteral("microsoft wave");
        } else if (ext == QLatin1String(".avi")) {
            second = QStringLiteral("video");
            item = QStringLiteral("avi video");
        } else if (ext == QLatin1String(".mpg")) {
            second = QStringLiteral("video");
            item = QStringLiteral("mpeg video");
        } else if (ext == QLatin1String(".dat")) {
            second = QStringLiteral("video");
            item = QStringLiteral("video CD");
        } else if (ext == QLatin1String(".qt") || ext == QLatin1String(".mov")) {
            second = QStringLiteral("video");
            item = QStringLiteral("quick time");
        } else if (ext == QLatin1String(".cda")) {
            second = item = QStringLiteral("cd audio");
        }
        info.line2 = tag2.isEmpty() ? second : tag2;
        info.line3 = tag3;
        if (!item.isEmpty()) info.list.append(item);
        info.list.append(sizeText);
    }

    const QString txt =
        fi.path() + QLatin1Char('/') + fi.completeBaseName() + QStringLiteral(".txt");
    if (QFileInfo(txt).isFile()) {
        try {
            info.list = TextFile::readLines(txt);
        } catch (const FileError&) {
        }
    }
    return info;
}

}  // namespace ombrix

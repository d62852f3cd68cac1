#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "ControllerRig.h"

namespace ombrix::test {

/// The controller rig with the remote control's own songs.
struct PlayerRig : ControllerRig {
    PlayerRig() : ControllerRig({".zip", ".dmp", ".m3u", ".mp3", ".mp2", ".wav"}) {}

    /// A copy of the short test song at @p name in the home, with an ID3v1 tag when
    /// @p title is given.
    QString song(const QString& name, const QByteArray& title = {}, const QByteArray& artist = {}) {
        const QString path = home.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        QFile::copy(media().mp3Short, path);
        if (!title.isNull()) {
            QByteArray tag = "TAG" + title.leftJustified(30, '\0', true) +
                             artist.leftJustified(30, '\0', true) + QByteArray(30 + 4 + 30, '\0');
            tag += char(255);
            QFile f(path);
            if (f.open(QIODevice::Append)) f.write(tag);
        }
        return path;
    }
};

}  // namespace ombrix::test

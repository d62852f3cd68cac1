#pragma once

#include <QTemporaryDir>
#include <memory>

#include "ProgramSupport.h"
#include "ombrix/EntryResolver.h"
#include "ombrix/MediaIdentifier.h"
#include "ombrix/PlaybackController.h"
#include "ombrix/SettingsStore.h"
#include "ombrix/TempRegister.h"

namespace ombrix::test {

/// A real playback controller over the real decoder (SDL's dummy driver) in a temporary home.
struct PlayerRig {
    PlayerRig() {
        store = std::make_unique<SettingsStore>(Home(home.path()), ProcessorFeatures::detect());
        store->mediaTypes().flat = {".zip", ".dmp", ".m3u", ".mp3", ".mp2", ".wav"};
        identifier = std::make_unique<MediaIdentifier>(store->mediaTypes().flat);
        EntryResolver::Config rc;
        rc.tempFolder = home.filePath("temp");
        rc.downloadFolder = home.filePath("file");
        resolver = std::make_unique<EntryResolver>(rc, *identifier, temps);
        controller = std::make_unique<PlaybackController>(*store, *resolver, clock, host);
    }
    ~PlayerRig() {
        controller.reset();
        temps.deleteAll();
    }
    PlayerSettings& settings() { return store->settings(); }
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

    QTemporaryDir home;
    FakeClock clock;
    RecordingHost host;
    TempRegister temps;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<MediaIdentifier> identifier;
    std::unique_ptr<EntryResolver> resolver;
    std::unique_ptr<PlaybackController> controller;
};

}  // namespace ombrix::test

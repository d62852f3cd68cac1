#pragma once

#include <QFile>
#include <QTemporaryDir>
#include <memory>
#include <ostream>

#include "ProgramSupport.h"
#include "ombrix/EntryResolver.h"
#include "ombrix/MediaIdentifier.h"
#include "ombrix/PlaybackController.h"
#include "ombrix/SettingsStore.h"
#include "ombrix/TempRegister.h"

/// Readable failures: strings as text, not as arrays of 2-byte objects.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace ombrix::test {

/// A real controller over a fresh home, for the playlist window and its editor.
struct PlaylistRig {
    PlaylistRig() {
        store = std::make_unique<SettingsStore>(Home(home.path()), ProcessorFeatures::detect());
        store->mediaTypes().flat = {".zip", ".lzh", ".dmp", ".m3u", ".s3z", ".itz",
                                    ".mdz", ".xmz", ".mp3", ".mp2", ".rmp", ".wav"};
        identifier = std::make_unique<MediaIdentifier>(store->mediaTypes().flat);
        EntryResolver::Config rc;
        rc.tempFolder = home.filePath("temp");
        rc.downloadFolder = home.filePath("file");
        resolver = std::make_unique<EntryResolver>(rc, *identifier, temps);
        controller = std::make_unique<PlaybackController>(*store, *resolver, clock, host);
    }
    ~PlaylistRig() {
        controller.reset();
        temps.deleteAll();
    }
    /// Copies of the short test song named song0.mp3 ... in the home.
    QStringList songs(int n) {
        QStringList out;
        for (int i = 0; i < n; ++i) {
            const QString f = home.filePath(QString("song%1.mp3").arg(i));
            QFile::copy(media().mp3Short, f);
            out << f;
        }
        return out;
    }
    /// Plays until the first second has passed (a change of song is refused before that).
    bool playPastOneSecond() {
        return waitFor([&] {
            clock.advance(100);
            controller->tick100();
            if (clock.ms % 500 == 0) controller->tick500();
            return controller->ElapsedMs() >= 1000;
        });
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

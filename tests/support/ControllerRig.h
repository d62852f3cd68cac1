#pragma once

#include <QDateTime>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "ombrix/control/Clock.h"
#include "ombrix/control/ControllerHost.h"
#include "ombrix/control/PlaybackController.h"
#include "ombrix/media/EntryResolver.h"
#include "ombrix/media/MediaIdentifier.h"
#include "ombrix/media/TempRegister.h"
#include "ombrix/settings/ProcessorFeatures.h"
#include "ombrix/settings/SettingsStore.h"
#include "support/Files.h"

namespace ombrix::test {

/// A clock that moves only when the test says so.
class FakeClock final : public Clock {
public:
    qint64 ticks() const override { return ms; }
    QDateTime now() const override { return wall.addMSecs(ms); }
    void advance(qint64 by) { ms += by; }

    qint64 ms = 0;
    QDateTime wall{QDate(2026, 1, 5), QTime(12, 0)};
};

/// Records what the controller asked of its window.
class RecordingHost final : public ControllerHost {
public:
    void closeProgram() override { ++closeRequests; }
    void showMessage(const QString& text) override { messages << text; }

    int closeRequests = 0;
    QStringList messages;
};

/**
 * A real playback controller over the real decoder (SDL's dummy driver) in a home folder of its
 * own, driven tick by tick with a fake clock.
 */
struct ControllerRig {
    /// Every extension the player knows by default.
    static QStringList allTypes();

    explicit ControllerRig(const QStringList& mediaTypes = allTypes(),
                           ProcessorFeatures cpu = ProcessorFeatures::detect());
    ~ControllerRig();
    ControllerRig(const ControllerRig&) = delete;
    ControllerRig& operator=(const ControllerRig&) = delete;

    const PlayerSettings& settings() const { return store->settings(); }
    /// @p n ticks of 100 ms, with the 500 ms tick on every fifth; events run in between.
    void ticks(int n);
    /// Ticks (and real time, for the playing song) until @p done or @p limitMs passed.
    bool tickUntil(const std::function<bool()>& done, int limitMs = 20000);
    /// Plays on until the first second has passed (a change of song is refused before that).
    bool playPastOneSecond();
    /// Copies of the short test song named song0.mp3 ... in the home.
    QStringList songs(int n);
    /// A copy of the short test song at @p name in the home, with an ID3v1 tag when @p title
    /// is given.
    QString song(const QString& name, const QByteArray& title = {}, const QByteArray& artist = {});

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

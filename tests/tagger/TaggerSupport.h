#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>

#include "ProgramSupport.h"
#include "ombrix/EntryResolver.h"
#include "ombrix/MediaIdentifier.h"
#include "ombrix/PlaybackController.h"
#include "ombrix/SettingsStore.h"
#include "ombrix/TempRegister.h"
#include "ombrix/Tidtag.h"

namespace ombrix::test {

/// A real controller on a home folder of its own, and a folder of songs to tag.
class TaggerWorld {
public:
    TaggerWorld();
    ~TaggerWorld();

    /// A copy of the generated 1.5 s MP3 (no tag) named @p name in the songs folder.
    QString mp3(const QString& name) const;
    /// A 16-bit PCM RIFF wave with a data chunk, named @p name in the songs folder.
    QString wave(const QString& name) const;
    /// Plays @p file (a copy of the 14 s song) until it is past its first second.
    bool play(const QString& file);

    QString songs() const { return songs_.path(); }

    QTemporaryDir home;
    FakeClock clock;
    RecordingHost host;
    TempRegister temps;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<MediaIdentifier> identifier;
    std::unique_ptr<EntryResolver> resolver;
    std::unique_ptr<PlaybackController> controller;

private:
    QTemporaryDir songs_;
};

/// The tag as a fresh read of @p file gives it.
Tidtag tagOf(const QString& file);
/// Makes @p file unwritable even for root (immutable there, mode 0444 otherwise); undone by
/// makeWritable(). False when the system refuses.
bool makeReadOnly(const QString& file);
void makeWritable(const QString& file);

}  // namespace ombrix::test

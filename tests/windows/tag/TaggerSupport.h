#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>

#include "ombrix/library/SongTag.h"
#include "support/ControllerRig.h"

namespace ombrix::test {

/// A real controller on a home folder of its own, and a folder of songs to tag.
class TaggerWorld : public ControllerRig {
public:
    TaggerWorld();

    /// A copy of the generated 1.5 s MP3 (no tag) named @p name in the songs folder.
    QString mp3(const QString& name) const;
    /// A 16-bit PCM RIFF wave with a data chunk, named @p name in the songs folder.
    QString wave(const QString& name) const;
    /// Plays @p file (a copy of the 14 s song) until it is past its first second.
    bool play(const QString& file);

    QString songFolder() const { return songs_.path(); }

private:
    QTemporaryDir songs_;
};

/// The tag as a fresh read of @p file gives it.
SongTag tagOf(const QString& file);
/// Makes @p file unwritable even for root (immutable there, mode 0444 otherwise); undone by
/// makeWritable(). False when the system refuses.
bool makeReadOnly(const QString& file);
void makeWritable(const QString& file);

}  // namespace ombrix::test

#pragma once

#include <QCoreApplication>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <ostream>

#include "ombrix/control/Clock.h"
#include "ombrix/control/ControllerHost.h"

/// Readable failures: strings as text, not as arrays of 2-byte objects.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

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
    void openTagEditor(const QString& file) override { tagEditorFiles << file; }

    int closeRequests = 0;
    QStringList messages;
    QStringList tagEditorFiles;
};

/**
 * Generated songs shared by the tests of one process: made once, in a folder that lives until
 * the process ends.
 */
struct Media {
    QString mp3Short;  ///< 1.5 s, 128 kbit/s
    QString mp3Long;   ///< 14 s
    QString mp2Short;  ///< 1.5 s MP2 (empty without twolame)
    QString folder;
    bool ok() const { return !mp3Short.isEmpty() && !mp3Long.isEmpty(); }
};
const Media& media();

/// Processes events until @p done or @p limitMs of real time passed; returns done().
bool waitFor(const std::function<bool()>& done, int limitMs = 15000);

/// Writes @p bytes to @p path.
void writeBytes(const QString& path, const QByteArray& bytes);

}  // namespace ombrix::test

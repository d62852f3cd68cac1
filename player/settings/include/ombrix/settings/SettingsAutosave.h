#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

namespace ombrix {

class SettingsStore;

/**
 * @brief Writes the settings soon after they change, so a crash or a power cut loses at most
 *        the last moment's changes rather than everything since the start.
 *
 * Changes are gathered: the files are written once the settings have been quiet for the delay
 * (a volume wheel or a slider drag is one save, not hundreds). Every save is the store's own,
 * atomic and leaving other sections alone. A failed save is reported once per run through
 * failed(); later saves are still tried.
 *
 * Thread affinity: the store's (main) thread.
 */
class SettingsAutosave : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultDelayMs = 2000;

    /// Watches @p store from now on; changes made before are not a reason to save.
    explicit SettingsAutosave(SettingsStore& store, int delayMs = kDefaultDelayMs);

    /// A change is waiting for its save.
    bool pending() const noexcept { return timer_.isActive(); }
    /// Saves now when a change is waiting.
    void flush();

signals:
    /// A save failed; @p message says what for the user. Sent once per run.
    void failed(const QString& message);

private:
    void save();

    SettingsStore& store_;
    QTimer timer_;
    bool failureReported_ = false;
};

}  // namespace ombrix

#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

namespace ombrix {

/// True when @p drive holds a disc: a drive reports one in its tray (an empty drive, an open
/// tray or a missing device do not), a disc image exists as a file.
bool discPresent(const QString& drive);

/**
 * @brief Notices a disc coming into and going out of one drive, by asking the drive every two
 *        seconds (a drive tells nobody by itself).
 *
 * Only the chosen drive is asked, and nothing wakes while none is chosen. The disc that is in
 * the drive when it is chosen is taken as there already: only changes are reported.
 *
 * Thread affinity: main thread.
 */
class DiscWatcher : public QObject {
    Q_OBJECT
public:
    using Probe = std::function<bool(const QString& drive)>;
    static constexpr int kPollMs = 2000;

    explicit DiscWatcher(Probe probe = &discPresent, int pollMs = kPollMs);

    /// Watches @p drive from now on (empty: none).
    void setDrive(const QString& drive);
    const QString& drive() const noexcept { return drive_; }
    bool discIn() const noexcept { return discIn_; }
    /// Asks the drive now (what the timer does).
    void poll();

signals:
    void arrived(const QString& drive);
    void removed(const QString& drive);

private:
    Probe probe_;
    QTimer timer_;
    QString drive_;
    bool discIn_ = false;
};

}  // namespace ombrix

#pragma once

#include <QDBusConnection>
#include <QObject>

#include "ombrix/control/PlayerState.h"

namespace ombrix {

/**
 * @brief A desktop notification (org.freedesktop.Notifications) when a song starts: title, and
 *        artist and album below it. Each new song replaces the previous notification. Calls are
 *        asynchronous: a slow or missing notification server never holds up the player.
 *
 * Thread affinity: main thread. Nothing throws.
 */
class SongNotifier : public QObject {
    Q_OBJECT
public:
    explicit SongNotifier(QDBusConnection bus, QObject* parent = nullptr);

    /// Shows @p state's song.
    void notify(const PlayerState& state);

    /// Summary and body of the notification for @p state (the body is escaped markup).
    static std::pair<QString, QString> texts(const PlayerState& state);

private:
    QDBusConnection bus_;
    uint lastId_ = 0;
};

}  // namespace ombrix

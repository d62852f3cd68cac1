#include "ombrix/desktop/SongNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace ombrix {

SongNotifier::SongNotifier(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {}

std::pair<QString, QString> SongNotifier::texts(const PlayerState& state) {
    QStringList below;
    if (!state.artist.isEmpty()) below << state.artist;
    if (!state.album.isEmpty()) below << state.album;
    // Servers may read the body as markup: a title with "<" must stay text.
    return {state.title.left(256),
            below.join(QStringLiteral(" \u2014 ")).left(512).toHtmlEscaped()};
}

void SongNotifier::notify(const PlayerState& state) {
    if (!bus_.isConnected()) return;
    const auto [summary, body] = texts(state);
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("ombrix"));
    hints.insert(QStringLiteral("transient"), true);
    call << QStringLiteral("Ombrix Player") << lastId_ << QStringLiteral("ombrix") << summary
         << body << QStringList() << hints << 5000;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isValid()) lastId_ = reply.value();
        w->deleteLater();
    });
}

}  // namespace ombrix

#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QList>
#include <QPair>

#include "ombrix/desktop/GlobalHotKeys.h"

namespace ombrix {

/**
 * @brief System-wide keys through the desktop portal's GlobalShortcuts interface
 *        (org.freedesktop.portal.GlobalShortcuts), for sessions where the program cannot grab
 *        keys itself (Wayland). registerKey() collects the keys; they are bound together, in
 *        one session, once control returns to the event loop. The desktop may ask the user and
 *        may give other keys than the preferred ones.
 *
 * Thread affinity: main thread. Nothing throws; every call to the portal is asynchronous except
 * the one check of portalOffered().
 */
class PortalHotKeys final : public GlobalHotKeys {
    Q_OBJECT
public:
    static inline const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
    static inline const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
    static inline const QString kInterface =
        QStringLiteral("org.freedesktop.portal.GlobalShortcuts");

    explicit PortalHotKeys(QDBusConnection bus, QObject* parent = nullptr);
    ~PortalHotKeys() override;

    /// The portal on @p bus offers GlobalShortcuts (asks it, waiting at most @p timeoutMs).
    static bool portalOffered(QDBusConnection bus, int timeoutMs = 1500);
    /// "SHIFT+CTRL+U" as the portal's trigger text ("SHIFT+CTRL+u"); empty when not a key.
    static QString trigger(const QString& sequence);

    bool available() const override { return true; }
    QString unavailableReason() const override { return {}; }
    bool registerKey(int id, const QString& sequence) override;
    void unregisterAll() override;

    /// The keys are bound (the portal answered BindShortcuts with success).
    bool bound() const noexcept { return bound_; }

signals:
    void boundChanged();

private slots:
    void onResponse(uint response, const QVariantMap& results);
    void onActivated(const QDBusMessage& message);

private:
    QString requestPath(const QString& token) const;
    void watchRequest(const QString& token);
    void bind();

    QDBusConnection bus_;
    QList<QPair<int, QString>> keys_;  // id, sequence
    QString session_;
    QString pendingRequest_;
    bool sessionRequested_ = false;
    bool bindQueued_ = false;
    bool bound_ = false;
    int tokenCounter_ = 0;
};

}  // namespace ombrix

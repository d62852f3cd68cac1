#include "ombrix/desktop/PortalHotKeys.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusPendingCall>
#include <QDBusReply>
#include <QDBusVariant>
#include <QTimer>

#include "ombrix/desktop/HotKeySequence.h"

namespace ombrix {
namespace {

// One entry of BindShortcuts' a(sa{sv}).
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& arg, const PortalShortcut& s) {
    arg.beginStructure();
    arg << s.id << s.properties;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, PortalShortcut& s) {
    arg.beginStructure();
    arg >> s.id >> s.properties;
    arg.endStructure();
    return arg;
}

const char* const kDescriptions[] = {"", "Show the player window", "Hide the player to the tray",
                                     "Show the playlist"};

}  // namespace
}  // namespace ombrix

Q_DECLARE_METATYPE(ombrix::PortalShortcut)

namespace ombrix {

PortalHotKeys::PortalHotKeys(QDBusConnection bus, QObject* parent)
    : GlobalHotKeys(parent), bus_(std::move(bus)) {
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    // The whole message: its arguments are checked here rather than trusted to match.
    bus_.connect(kPortalService, kPortalPath, kInterface, QStringLiteral("Activated"), this,
                 SLOT(onActivated(QDBusMessage)));
}

PortalHotKeys::~PortalHotKeys() {
    unregisterAll();
}

bool PortalHotKeys::portalOffered(QDBusConnection bus, int timeoutMs) {
    if (!bus.isConnected()) return false;
    QDBusMessage get = QDBusMessage::createMethodCall(
        kPortalService, kPortalPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << kInterface << QStringLiteral("version");
    const QDBusMessage reply = bus.call(get, QDBus::Block, timeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

QString PortalHotKeys::trigger(const QString& sequence) {
    const auto seq = HotKeySequence::parse(sequence);
    if (!seq) return {};
    QStringList parts;
    if (seq->modifiers & HotKeySequence::kShift) parts << QStringLiteral("SHIFT");
    if (seq->modifiers & HotKeySequence::kCtrl) parts << QStringLiteral("CTRL");
    if (seq->modifiers & HotKeySequence::kAlt) parts << QStringLiteral("ALT");
    if (seq->modifiers & HotKeySequence::kMeta) parts << QStringLiteral("LOGO");
    // Key names are XKB keysym names: letters in lower case.
    parts << (seq->key.size() == 1 ? seq->key.toLower() : seq->key);
    return parts.join(QLatin1Char('+'));
}

bool PortalHotKeys::registerKey(int id, const QString& sequence) {
    if (trigger(sequence).isEmpty() || !bus_.isConnected()) return false;
    keys_.append({id, sequence});
    if (!bindQueued_) {
        bindQueued_ = true;
        QTimer::singleShot(0, this, &PortalHotKeys::bind);
    }
    return true;
}

void PortalHotKeys::unregisterAll() {
    keys_.clear();
    if (!session_.isEmpty()) {
        bus_.asyncCall(QDBusMessage::createMethodCall(
            kPortalService, session_, QStringLiteral("org.freedesktop.portal.Session"),
            QStringLiteral("Close")));
        session_.clear();
    }
    sessionRequested_ = false;
    if (bound_) {
        bound_ = false;
        emit boundChanged();
    }
}

QString PortalHotKeys::requestPath(const QString& token) const {
    QString sender = bus_.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

// The portal answers on a Request object whose path is known in advance; listening before
// the call leaves no gap for the answer to slip through.
void PortalHotKeys::watchRequest(const QString& token) {
    if (!pendingRequest_.isEmpty())
        bus_.disconnect(kPortalService, pendingRequest_,
                        QStringLiteral("org.freedesktop.portal.Request"),
                        QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
    pendingRequest_ = requestPath(token);
    bus_.connect(kPortalService, pendingRequest_, QStringLiteral("org.freedesktop.portal.Request"),
                 QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
}

void PortalHotKeys::bind() {
    bindQueued_ = false;
    if (keys_.isEmpty()) return;
    const QString token = QStringLiteral("ombrix%1").arg(++tokenCounter_);
    watchRequest(token);
    if (session_.isEmpty()) {
        if (sessionRequested_) return;
        sessionRequested_ = true;
        QDBusMessage create = QDBusMessage::createMethodCall(
            kPortalService, kPortalPath, kInterface, QStringLiteral("CreateSession"));
        QVariantMap options;
        options.insert(QStringLiteral("handle_token"), token);
        options.insert(QStringLiteral("session_handle_token"), QStringLiteral("ombrix"));
        create << options;
        bus_.asyncCall(create);
        return;
    }
    QList<PortalShortcut> shortcuts;
    for (const auto& [id, sequence] : keys_) {
        PortalShortcut s;
        s.id = QString::number(id);
        s.properties.insert(
            QStringLiteral("description"),
            QString::fromLatin1(id >= 1 && id <= 3 ? kDescriptions[id] : "Player key"));
        s.properties.insert(QStringLiteral("preferred_trigger"), trigger(sequence));
        shortcuts.append(s);
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath, kInterface,
                                                       QStringLiteral("BindShortcuts"));
    QVariantMap options;
    options.insert(QStringLiteral("handle_token"), token);
    call << QVariant::fromValue(QDBusObjectPath(session_)) << QVariant::fromValue(shortcuts)
         << QString() << options;
    bus_.asyncCall(call);
}

void PortalHotKeys::onResponse(uint response, const QVariantMap& results) {
    if (session_.isEmpty()) {
        const QVariant handle = results.value(QStringLiteral("session_handle"));
        QString path = handle.toString();
        if (handle.userType() == qMetaTypeId<QDBusObjectPath>())
            path = handle.value<QDBusObjectPath>().path();
        if (response != 0 || path.isEmpty()) {
            qWarning("The desktop refused system-wide hot keys.");
            return;
        }
        session_ = path;
        bind();
        return;
    }
    const bool ok = response == 0;
    if (ok != bound_) {
        bound_ = ok;
        emit boundChanged();
    }
}

void PortalHotKeys::onActivated(const QDBusMessage& message) {
    const QVariantList args = message.arguments();
    if (args.size() < 2 || args.at(0).userType() != qMetaTypeId<QDBusObjectPath>() ||
        args.at(1).userType() != QMetaType::QString)
        return;
    if (args.at(0).value<QDBusObjectPath>().path() != session_ || session_.isEmpty()) return;
    bool isNumber = false;
    const int key = args.at(1).toString().toInt(&isNumber);
    for (const auto& k : keys_)
        if (isNumber && k.first == key) {
            emit activated(key);
            return;
        }
}

}  // namespace ombrix

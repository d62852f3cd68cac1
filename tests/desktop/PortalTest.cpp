// System-wide keys through a stand-in for the desktop portal's GlobalShortcuts interface, on
// the test's own session bus; the key texts, and the ALSA mixer on a machine without a card.
#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>

#include "ombrix/desktop/AlsaMixer.h"
#include "ombrix/desktop/GlobalHotKeys.h"
#include "ombrix/desktop/HotKeySequence.h"
#include "ombrix/desktop/PortalHotKeys.h"
#include "support/Files.h"

namespace ombrix::test {

/// One entry of BindShortcuts' a(sa{sv}), as the portal receives it.
struct Shortcut {
    QString id;
    QVariantMap properties;
};
inline QDBusArgument& operator<<(QDBusArgument& a, const Shortcut& s) {
    a.beginStructure();
    a << s.id << s.properties;
    a.endStructure();
    return a;
}
inline const QDBusArgument& operator>>(const QDBusArgument& a, Shortcut& s) {
    a.beginStructure();
    a >> s.id >> s.properties;
    a.endStructure();
    return a;
}

}  // namespace ombrix::test

Q_DECLARE_METATYPE(ombrix::test::Shortcut)

namespace ombrix::test {

/// Answers CreateSession and BindShortcuts the way the portal does (a Response signal on the
/// request object) and fires Activated on demand.
class FakePortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.GlobalShortcuts")
    Q_PROPERTY(uint version READ version)
public:
    explicit FakePortal(QDBusConnection bus) : bus_(bus) {
        qDBusRegisterMetaType<Shortcut>();
        qDBusRegisterMetaType<QList<Shortcut>>();
    }
    uint version() const { return 1; }
    QStringList triggers;
    QString session;

    void activate(const QString& id) {
        QDBusMessage s = QDBusMessage::createSignal(PortalHotKeys::kPortalPath,
                                                    PortalHotKeys::kInterface, "Activated");
        s << QVariant::fromValue(QDBusObjectPath(session)) << id << qulonglong(1) << QVariantMap();
        bus_.send(s);
    }

public slots:
    QDBusObjectPath CreateSession(const QVariantMap& options, const QDBusMessage& msg) {
        session = "/org/freedesktop/portal/desktop/session/x/" +
                  options.value("session_handle_token").toString();
        QVariantMap results{{"session_handle", session}};
        return respond(msg, options, results);
    }
    QDBusObjectPath BindShortcuts(const QDBusObjectPath&,
                                  const QList<ombrix::test::Shortcut>& shortcuts, const QString&,
                                  const QVariantMap& options, const QDBusMessage& msg) {
        for (const Shortcut& s : shortcuts)
            triggers << s.id + "=" + s.properties.value("preferred_trigger").toString();
        return respond(msg, options, {});
    }

private:
    QDBusObjectPath respond(const QDBusMessage& msg, const QVariantMap& options,
                            const QVariantMap& results) {
        QString sender = msg.service().mid(1);
        sender.replace('.', '_');
        const QString path = "/org/freedesktop/portal/desktop/request/" + sender + "/" +
                             options.value("handle_token").toString();
        QDBusMessage r =
            QDBusMessage::createSignal(path, "org.freedesktop.portal.Request", "Response");
        r << uint(0) << results;
        bus_.send(r);
        return QDBusObjectPath(path);
    }
    QDBusConnection bus_;
};

namespace {

TEST(PortalTest, KeysAreBoundInOneSessionAndActivationsReportTheirId) {
    EXPECT_EQ(PortalHotKeys::trigger("SHIFT+CTRL+U"), "SHIFT+CTRL+u");
    EXPECT_EQ(PortalHotKeys::trigger("alt+win+F5"), "ALT+LOGO+F5");
    EXPECT_EQ(PortalHotKeys::trigger("HYPER+X"), "");
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) GTEST_SKIP() << "no session bus (run under dbus-run-session)";
    EXPECT_FALSE(PortalHotKeys::portalOffered(bus, 3000)) << "nothing offers it yet";

    QDBusConnection portalBus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, "portal");
    FakePortal portal(portalBus);
    ASSERT_TRUE(portalBus.registerObject(
        PortalHotKeys::kPortalPath, &portal,
        QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties));
    ASSERT_TRUE(portalBus.registerService(PortalHotKeys::kPortalService));
    // portalOffered() waits for the reply, which this very thread would have to give: the
    // same question goes out asynchronously here.
    QDBusMessage get =
        QDBusMessage::createMethodCall(PortalHotKeys::kPortalService, PortalHotKeys::kPortalPath,
                                       "org.freedesktop.DBus.Properties", "Get");
    get << PortalHotKeys::kInterface << QString("version");
    QDBusPendingCall pending = bus.asyncCall(get);
    ASSERT_TRUE(waitFor([&] { return pending.isFinished(); }));
    EXPECT_FALSE(pending.isError());

    PortalHotKeys keys(bus);
    EXPECT_TRUE(keys.available());
    EXPECT_TRUE(keys.registerKey(1, "SHIFT+CTRL+U"));
    EXPECT_TRUE(keys.registerKey(2, "SHIFT+CTRL+M"));
    EXPECT_TRUE(keys.registerKey(3, "SHIFT+CTRL+P"));
    EXPECT_FALSE(keys.registerKey(4, "NOT+A+KEY"));
    ASSERT_TRUE(waitFor([&] { return keys.bound(); }));
    EXPECT_EQ(portal.triggers, (QStringList{"1=SHIFT+CTRL+u", "2=SHIFT+CTRL+m", "3=SHIFT+CTRL+p"}));

    QList<int> pressed;
    QObject::connect(&keys, &GlobalHotKeys::activated, [&](int id) { pressed << id; });
    portal.activate("2");
    portal.activate("junk");
    portal.activate("3");
    ASSERT_TRUE(waitFor([&] { return pressed.size() == 2; }));
    EXPECT_EQ(pressed, (QList<int>{2, 3}));

    keys.unregisterAll();
    EXPECT_FALSE(keys.bound());
    portalBus.unregisterService(PortalHotKeys::kPortalService);
    QDBusConnection::disconnectFromBus("portal");
}

TEST(AlsaMixerTest, NoUsableCardMeansNoMixerAndNoFailure) {
    AlsaMixer mixer;
    if (mixer.deviceCount() > 0) GTEST_SKIP() << "this machine has a sound card";
    EXPECT_FALSE(mixer.open(0, 0, 0));
    EXPECT_FALSE(mixer.isOpen());
    EXPECT_EQ(mixer.channels(), 0);
    mixer.setVolume(100, 100);  // ignored
    EXPECT_EQ(mixer.volume(), std::make_pair(0, 0));
}

TEST(HotKeyTest, SequencesParseAndOffscreenSessionsSayWhyThereAreNone) {
    const auto a = HotKeySequence::parse("SHIFT+CTRL+U");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->modifiers, HotKeySequence::kShift | HotKeySequence::kCtrl);
    EXPECT_EQ(a->key, "U");
    EXPECT_EQ(HotKeySequence::parse("alt+f5")->key, "F5");
    EXPECT_EQ(HotKeySequence::parse("Win+HOME")->key, "Home");
    EXPECT_FALSE(HotKeySequence::parse(""));
    EXPECT_FALSE(HotKeySequence::parse("CTRL+"));
    EXPECT_FALSE(HotKeySequence::parse("HYPER+X"));

    const auto keys = GlobalHotKeys::create();
    EXPECT_FALSE(keys->available());
    EXPECT_TRUE(keys->unavailableReason().contains("not available"));
    EXPECT_FALSE(keys->registerKey(1, "SHIFT+CTRL+U"));
}

}  // namespace
}  // namespace ombrix::test

#include "PortalTest.moc"

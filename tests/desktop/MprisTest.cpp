// The MPRIS2 service on the session bus this test runs under, driven by a client on its own
// connection while a real song plays; song notifications to a stand-in notification server.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "ombrix/control/PlaybackController.h"
#include "ombrix/desktop/DesktopIntegration.h"
#include "ombrix/desktop/MprisService.h"
#include "ombrix/desktop/SongNotifier.h"
#include "support/ControllerRig.h"
#include "support/Files.h"

namespace ombrix::test {

/// Records the service's signals as a desktop widget would see them.
class SignalRecorder : public QObject {
    Q_OBJECT
public:
    QList<QVariantMap> changes;
    QList<qlonglong> seeks;
public slots:
    void propertiesChanged(const QString& interface, const QVariantMap& changed,
                           const QStringList&) {
        if (interface == "org.mpris.MediaPlayer2.Player") changes << changed;
    }
    void seeked(qlonglong position) { seeks << position; }
};

/// A notification server that only remembers what it was asked to show.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList summaries;
    QStringList bodies;
    QList<uint> replaces;
public slots:
    uint Notify(const QString&, uint replacesId, const QString&, const QString& summary,
                const QString& body, const QStringList&, const QVariantMap&, int) {
        summaries << summary;
        bodies << body;
        replaces << replacesId;
        return 42;
    }
};

namespace {

const QString kPlayer = "org.mpris.MediaPlayer2.Player";
const QString kRoot = "org.mpris.MediaPlayer2";

class MprisTest : public ::testing::Test, protected ControllerRig {
protected:
    void SetUp() override {
        if (!QDBusConnection::sessionBus().isConnected())
            GTEST_SKIP() << "no session bus (run under dbus-run-session)";
        OMBRIX_NEED_MEDIA();
        store->change([&](PlayerSettings& s) { s.dontsleep = true; });
        client = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "mpris-client");
        ASSERT_TRUE(client.isConnected());
    }
    void TearDown() override {
        if (c) c->stop();
        service.reset();
        c.reset();
        QDBusConnection::disconnectFromBus("mpris-client");
    }

    // A copy of the long test song with an ID3v2 tag in front.
    QString taggedSong(const QString& name, const QByteArray& title) {
        const QByteArray tag =
            id3v2(4, id3v2Frame(4, "TIT2", title) + id3v2Frame(4, "TPE1", "The Testers") +
                         id3v2Frame(4, "TALB", "Bus Sessions"));
        const QString path = home.filePath(name);
        writeFile(path, tag + readFile(media().mp3Long));
        return path;
    }

    // Method calls go out asynchronously: the service answers on this same thread.
    QDBusMessage call(const QString& interface, const QString& method,
                      const QVariantList& args = {}) {
        QDBusMessage m = QDBusMessage::createMethodCall(
            MprisService::kServiceName, MprisService::kObjectPath, interface, method);
        m.setArguments(args);
        QDBusPendingCall pending = client.asyncCall(m, 10000);
        waitFor([&] { return pending.isFinished(); });
        ticks(1);
        return pending.reply();
    }
    QVariant get(const QString& interface, const QString& property) {
        const QDBusMessage r =
            call("org.freedesktop.DBus.Properties", "Get", {interface, property});
        return r.arguments().isEmpty() ? QVariant()
                                       : r.arguments().at(0).value<QDBusVariant>().variant();
    }
    QDBusMessage set(const QString& property, const QVariant& value) {
        return call("org.freedesktop.DBus.Properties", "Set",
                    {kPlayer, property, QVariant::fromValue(QDBusVariant(value))});
    }
    QVariantMap metadata() {
        QVariantMap m;
        get(kPlayer, "Metadata").value<QDBusArgument>() >> m;
        return m;
    }

    std::unique_ptr<PlaybackController>& c = controller;
    std::unique_ptr<MprisService> service;
    QDBusConnection client{"none"};
    int raised = 0, quits = 0;
};

TEST_F(MprisTest, AClientCallsEveryMethodAndReadsEveryPropertyWhileASongPlays) {
    service = std::make_unique<MprisService>(
        *c, MprisService::Hooks{[this] { ++raised; }, [this] { ++quits; }});
    ASSERT_TRUE(service->registerOn(QDBusConnection::sessionBus()));
    EXPECT_EQ(service->serviceName(), MprisService::kServiceName);
    SignalRecorder rec;
    ASSERT_TRUE(client.connect(MprisService::kServiceName, MprisService::kObjectPath,
                               "org.freedesktop.DBus.Properties", "PropertiesChanged", &rec,
                               SLOT(propertiesChanged(QString, QVariantMap, QStringList))));
    ASSERT_TRUE(client.connect(MprisService::kServiceName, MprisService::kObjectPath, kPlayer,
                               "Seeked", &rec, SLOT(seeked(qlonglong))));

    // The root interface.
    EXPECT_EQ(get(kRoot, "Identity").toString(), "Ombrix Player");
    EXPECT_EQ(get(kRoot, "DesktopEntry").toString(), "ombrix");
    EXPECT_TRUE(get(kRoot, "CanQuit").toBool());
    EXPECT_TRUE(get(kRoot, "CanRaise").toBool());
    EXPECT_FALSE(get(kRoot, "HasTrackList").toBool());
    EXPECT_TRUE(get(kRoot, "SupportedUriSchemes").toStringList().contains("file"));
    EXPECT_TRUE(get(kRoot, "SupportedMimeTypes").toStringList().contains("audio/mpeg"));
    call(kRoot, "Raise");
    call(kRoot, "Quit");
    EXPECT_EQ(raised, 1);
    EXPECT_EQ(quits, 1);

    // Nothing loaded.
    EXPECT_EQ(get(kPlayer, "PlaybackStatus").toString(), "Stopped");
    EXPECT_FALSE(get(kPlayer, "CanPlay").toBool());
    EXPECT_EQ(metadata().value("mpris:trackid").value<QDBusObjectPath>().path(),
              "/org/mpris/MediaPlayer2/TrackList/NoTrack");

    const QString first = taggedSong("first.mp3", "Bus Song");
    const QString second = taggedSong("second.mp3", "Second Song");
    c->setPlaylist({first, second});
    call(kPlayer, "Play");
    ASSERT_TRUE(tickUntil([&] { return c->state().playing; }));
    EXPECT_EQ(get(kPlayer, "PlaybackStatus").toString(), "Playing");
    QVariantMap m = metadata();
    const QString track = m.value("mpris:trackid").value<QDBusObjectPath>().path();
    EXPECT_TRUE(track.startsWith("/org/ombrix/track/")) << track.toStdString();
    EXPECT_EQ(m.value("xesam:title").toString(), "Bus Song") << "from the ID3v2 tag";
    EXPECT_EQ(m.value("xesam:artist").toStringList(), QStringList{"The Testers"});
    EXPECT_EQ(m.value("xesam:album").toString(), "Bus Sessions");
    EXPECT_EQ(m.value("xesam:url").toString(), QUrl::fromLocalFile(first).toString());
    EXPECT_GT(m.value("mpris:length").toLongLong(), 13'000'000);
    for (const char* p :
         {"CanGoNext", "CanGoPrevious", "CanPlay", "CanPause", "CanSeek", "CanControl"})
        EXPECT_TRUE(get(kPlayer, p).toBool()) << p;
    EXPECT_EQ(get(kPlayer, "Rate").toDouble(), 1.0);
    EXPECT_EQ(get(kPlayer, "MinimumRate").toDouble(), 1.0);
    EXPECT_EQ(get(kPlayer, "MaximumRate").toDouble(), 1.0);
    ASSERT_TRUE(waitFor([&] {
        for (const QVariantMap& ch : rec.changes)
            if (ch.value("PlaybackStatus") == "Playing" && ch.contains("Metadata")) return true;
        return false;
    })) << "PropertiesChanged announced the song";

    ASSERT_TRUE(tickUntil([&] { return c->elapsedMs() >= 1200; }));
    EXPECT_GT(get(kPlayer, "Position").toLongLong(), 1'000'000);

    // Pause and resume.
    call(kPlayer, "Pause");
    EXPECT_TRUE(c->state().paused);
    EXPECT_EQ(get(kPlayer, "PlaybackStatus").toString(), "Paused");
    call(kPlayer, "PlayPause");
    EXPECT_FALSE(c->state().paused);
    call(kPlayer, "PlayPause");
    EXPECT_TRUE(c->state().paused);
    call(kPlayer, "Play");
    EXPECT_FALSE(c->state().paused);

    // Seeks: relative, absolute, and the ones to ignore.
    call(kPlayer, "Seek", {qlonglong(3'000'000)});
    ASSERT_TRUE(waitFor([&] { return rec.seeks.size() >= 1; }));
    call(kPlayer, "SetPosition",
         {QVariant::fromValue(QDBusObjectPath(track)), qlonglong(8'000'000)});
    ASSERT_TRUE(waitFor([&] { return rec.seeks.size() >= 2; }));
    EXPECT_EQ(rec.seeks.at(1), 8'000'000);
    ASSERT_TRUE(tickUntil([&] { return c->elapsedMs() >= 7000; })) << "the decoder jumped";
    const auto seeks = rec.seeks.size();
    call(kPlayer, "SetPosition",
         {QVariant::fromValue(QDBusObjectPath(track)),
          qlonglong(std::numeric_limits<qint64>::max())});
    call(kPlayer, "SetPosition", {QVariant::fromValue(QDBusObjectPath(track)), qlonglong(-5)});
    call(kPlayer, "SetPosition",
         {QVariant::fromValue(QDBusObjectPath("/org/ombrix/track/999")), qlonglong(1'000'000)});
    call(kPlayer, "Seek", {qlonglong(std::numeric_limits<qint64>::min())});  // to the start
    EXPECT_EQ(rec.seeks.size(), seeks + 1) << "only the saturated seek to the start counts";
    EXPECT_EQ(rec.seeks.last(), 0);

    // Wrong types are refused by the bus layer; the song plays on.
    EXPECT_EQ(call(kPlayer, "Seek", {QString("far")}).type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(call(kPlayer, "SetPosition", {qlonglong(1), qlonglong(2)}).type(),
              QDBusMessage::ErrorMessage);
    EXPECT_EQ(set("Volume", QString("loud")).type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(set("Shuffle", QStringList{"yes"}).type(), QDBusMessage::ErrorMessage);
    EXPECT_TRUE(c->state().playing);

    // Writable properties go through the controller.
    set("Volume", 0.5);
    EXPECT_EQ(c->state().volume, 64);
    EXPECT_NEAR(get(kPlayer, "Volume").toDouble(), 64 / 127.0, 1e-9);
    set("Volume", 7.0);
    EXPECT_EQ(c->state().volume, 127) << "clamped";
    set("LoopStatus", QString("Track"));
    EXPECT_TRUE(c->state().repeatThisSong);
    EXPECT_EQ(get(kPlayer, "LoopStatus").toString(), "Track");
    set("LoopStatus", QString("None"));
    EXPECT_FALSE(c->state().repeatThisSong);
    EXPECT_FALSE(c->state().autoRepeat);
    set("LoopStatus", QString("Sideways"));
    EXPECT_EQ(get(kPlayer, "LoopStatus").toString(), "None");
    set("LoopStatus", QString("Playlist"));
    EXPECT_TRUE(store->settings().autorepeat1);
    set("Shuffle", true);
    EXPECT_TRUE(store->settings().random1);
    EXPECT_TRUE(get(kPlayer, "Shuffle").toBool());
    set("Shuffle", false);
    set("Rate", 2.0);
    EXPECT_EQ(get(kPlayer, "Rate").toDouble(), 1.0);

    // Next and previous, each a new trackid (a change within a song's first second is refused;
    // under load the first second may not be heard yet).
    ASSERT_TRUE(tickUntil([&] { return c->elapsedMs() >= 1100; }));
    call(kPlayer, "Next");
    ASSERT_TRUE(tickUntil([&] { return c->currentIndex() == 1 && c->state().playing; }));
    EXPECT_EQ(metadata().value("xesam:title").toString(), "Second Song");
    EXPECT_NE(metadata().value("mpris:trackid").value<QDBusObjectPath>().path(), track);
    ASSERT_TRUE(tickUntil([&] { return c->elapsedMs() >= 1100; }));
    call(kPlayer, "Previous");
    ASSERT_TRUE(tickUntil([&] { return c->currentIndex() == 0 && c->state().playing; }));

    // OpenUri: a file address plays it; anything else is ignored.
    ASSERT_TRUE(tickUntil([&] { return c->elapsedMs() >= 1100; }));
    call(kPlayer, "OpenUri", {QUrl::fromLocalFile(second).toString()});
    EXPECT_EQ(c->state().count, 3);
    call(kPlayer, "OpenUri", {QString("javascript:alert(1)")});
    call(kPlayer, "OpenUri", {QString(1 << 20, 'x')});
    call(kPlayer, "OpenUri", {QString("")});
    EXPECT_EQ(c->state().count, 3);

    call(kPlayer, "Stop");
    EXPECT_FALSE(c->state().playing);
    EXPECT_EQ(get(kPlayer, "PlaybackStatus").toString(), "Stopped");
    EXPECT_EQ(get(kPlayer, "Position").toLongLong(), 0);
}

TEST_F(MprisTest, ASecondPlayerTakesAnInstanceNameAndNotificationsFollowTheSetting) {
    auto one = std::make_unique<MprisService>(*c, MprisService::Hooks{});
    auto other = std::make_unique<MprisService>(*c, MprisService::Hooks{});
    ASSERT_TRUE(one->registerOn(QDBusConnection::sessionBus()));
    // The second registers on another connection, as another process would.
    QDBusConnection second = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "second");
    ASSERT_TRUE(other->registerOn(second));
    EXPECT_TRUE(other->serviceName().startsWith(MprisService::kServiceName + ".instance"));
    other.reset();
    QDBusConnection::disconnectFromBus("second");
    one.reset();

    FakeNotifications server;
    QDBusConnection notifyBus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, "notify");
    ASSERT_TRUE(notifyBus.registerService("org.freedesktop.Notifications"));
    ASSERT_TRUE(notifyBus.registerObject("/org/freedesktop/Notifications", &server,
                                         QDBusConnection::ExportAllSlots));
    {
        DesktopIntegration desktop(*c, *store, {});
        ASSERT_TRUE(desktop.start());
        const QString song = taggedSong("n.mp3", "Title <b>&");
        c->setPlaylist({song});
        c->play();
        ASSERT_TRUE(tickUntil([&] { return c->state().playing; }));
        ticks(3);
        EXPECT_TRUE(server.summaries.isEmpty()) << "off by default";
        c->stop();
        store->change([&](PlayerSettings& s) { s.songnotify = true; });
        c->play();
        ASSERT_TRUE(waitFor([&] {
            ticks(1);
            return !server.summaries.isEmpty();
        }));
        EXPECT_EQ(server.summaries.first(), "Title <b>&");
        EXPECT_EQ(server.bodies.first(), "The Testers \u2014 Bus Sessions");
        c->stop();
        c->play();
        ASSERT_TRUE(waitFor([&] {
            ticks(1);
            return server.summaries.size() == 2;
        }));
        EXPECT_EQ(server.replaces.at(1), 42u) << "the new song replaces the old notification";
        c->stop();
    }
    notifyBus.unregisterService("org.freedesktop.Notifications");
    QDBusConnection::disconnectFromBus("notify");
    PlayerState odd;
    odd.title = "a";
    odd.artist = "<x>";
    EXPECT_EQ(SongNotifier::texts(odd).second, "&lt;x&gt;");
}

}  // namespace
}  // namespace ombrix::test

#include "MprisTest.moc"

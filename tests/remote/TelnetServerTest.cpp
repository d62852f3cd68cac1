// Real sessions over 127.0.0.1: the bytes a client sees, many clients at once, and clients that
// misbehave. Clients run on threads of their own; this thread runs the event loop as the
// player's main thread does.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <latch>
#include <thread>

#include "TelnetClient.h"
#include "ombrix/remote/TelnetConnection.h"
#include "ombrix/remote/TelnetDaemon.h"
#include "ombrix/remote/TelnetSession.h"
#include "support/ControllerRig.h"

namespace ombrix::test {
namespace {

using namespace std::chrono_literals;

const QByteArray kSyntaxError = "unrecognized command or syntax error\n\r\n\r> ";

class TelnetServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        rig.store->change([&](PlayerSettings& s) { s.startdaemon = true; });
        rig.store->change([&](PlayerSettings& s) { s.telnetbind = "127.0.0.1"; });
        daemon.startIfEnabled();
        ASSERT_TRUE(daemon.server().isRunning()) << daemon.server().errorString().toStdString();
        port = daemon.server().port();
        ASSERT_NE(port, 0);
    }
    TelnetServer& server() { return daemon.server(); }
    /// Runs the event loop until the server has @p n sessions.
    void waitForSessions(int n) {
        QEventLoop loop;
        QObject::connect(&server(), &TelnetServer::sessionEnded, &loop, [&] {
            if (server().sessionCount() <= n) loop.quit();
        });
        if (server().sessionCount() > n) loop.exec();
    }
    /// Memory a session may hold: a line, Qt's read buffer, the unsent limit and one reply.
    static constexpr qint64 kSessionBound =
        2 * TelnetSession::kMaxLine + TelnetConnection::kMaxUnsent + 64 * 1024;

    ControllerRig rig;
    TelnetDaemon daemon{*rig.controller, *rig.store, "Ombrix Player", [] {}};
    quint16 port = 0;
};

TEST_F(TelnetServerTest, GreetingEchoAndTheTableOverARealConnection) {
    rig.song("music/Tune.mp3");
    ASSERT_TRUE(QDir().mkpath(rig.home.filePath("music/ro")));
    QFile::setPermissions(rig.home.filePath("music/ro"), QFile::ReadOwner | QFile::ExeOwner);
    QByteArray greeting, hi, volume, play, load, dir, loadFromFolder;
    runClients(1, [&](int) {
        TelnetClient c(port);
        greeting = c.readPrompt();
        c.send("hi\r\n");
        hi = c.readPrompt();
        volume = c.command("VOLUME 200");
        play = c.command("   play   ");
        load = c.command("load Tune.mp3");
    });
    rig.store->change([&](PlayerSettings& s) { s.telnetpath = "music"; });
    runClients(1, [&](int) {
        TelnetClient c(port);
        c.readPrompt();
        dir = c.command("dir");
        loadFromFolder = c.command("load tune.mp3");
    });
    EXPECT_EQ(greeting, TelnetSession::greeting());
    // Lines break as LF CR throughout.
    EXPECT_TRUE(greeting.endsWith("\n\r\n\r> "));
    EXPECT_EQ(greeting.count('\n'), greeting.count("\n\r"));
    EXPECT_EQ(greeting.count('\r'), greeting.count("\n\r"));
    EXPECT_EQ(hi, "hi\r\nhello!\n\r\n\r> ");
    EXPECT_EQ(volume, "volume = 127\n\r\n\r> ");
    EXPECT_EQ(rig.controller->state().volume, 127);
    EXPECT_EQ(play, "okay\n\r\n\r> ");
    EXPECT_EQ(load, kSyntaxError);
    EXPECT_TRUE(dir.startsWith("<.>\n\r<..>\n\r")) << dir.constData();
    EXPECT_TRUE(dir.contains("\n\rro\n\r")) << dir.constData();
    EXPECT_FALSE(dir.contains("<ro>"));
    EXPECT_TRUE(dir.contains("\n\rTune.mp3\n\r"));
    EXPECT_EQ(loadFromFolder, "ok\n\r\n\r> ");
    EXPECT_TRUE(rig.controller->state().playing);
    QFile::setPermissions(rig.home.filePath("music/ro"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(TelnetServerTest, ByeEndsTheSessionAndTraversalFindsNothing) {
    rig.song("music/Tune.mp3");
    rig.song("secret.mp3");
    ASSERT_TRUE(QFile::link(rig.home.filePath("secret.mp3"), rig.home.filePath("music/link.mp3")));
    rig.store->change([&](PlayerSettings& s) { s.telnetpath = rig.home.filePath("music"); });
    QList<QByteArray> replies;
    QByteArray bye, after;
    runClients(1, [&](int) {
        TelnetClient c(port);
        c.readPrompt();
        for (const char* name :
             {"../secret.mp3", "/etc/passwd", "link.mp3", "..", "music/Tune.mp3"})
            replies << c.command(QByteArray("load ") + name);
        c.send("bye\r\n");
        bye = c.readUntil("see you!\n\r");
        after = c.readToEnd();
    });
    for (const QByteArray& r : replies) EXPECT_EQ(r, "file not found\n\r\n\r> ");
    EXPECT_EQ(bye, "bye\r\nsee you!\n\r");
    EXPECT_EQ(after, "");
    EXPECT_EQ(rig.controller->playlist().size(), 0);
    waitForSessions(0);
    EXPECT_EQ(server().sessionCount(), 0);
}

TEST_F(TelnetServerTest, HundredClientsAtOnce) {
    server().setMaxSessions(128);
    server().setMaxSessionsPerPeer(128);
    constexpr int kClients = 100;
    std::latch allConnected(kClients);
    std::atomic<int> good{0};
    runClients(kClients, [&](int i) {
        TelnetClient c(port);
        const bool greeted = c.readPrompt().endsWith("> ");
        allConnected.arrive_and_wait();
        if (!greeted) return;
        int ok = 0;
        for (int k = 0; k < 10; ++k) {
            const QByteArray v = QByteArray::number((i + k) % 128);
            ok += c.command("volume " + v) == "volume = " + v + "\n\r\n\r> ";
            ok += c.command("info").endsWith("(stopped)\n\r\n\r> ");
            ok += c.command("list") == "no songs in playlist\n\r\n\r> ";
            ok += c.command("hi") == "hello!\n\r\n\r> ";
        }
        c.send("quit\r");
        ok += c.readUntil("see you!\n\r").endsWith("see you!\n\r");
        if (ok == 41) good.fetch_add(1);
    });
    EXPECT_EQ(good.load(), kClients);
    waitForSessions(0);
    EXPECT_LT(server().largestSessionBuffer(), kSessionBound);
}

TEST_F(TelnetServerTest, TheSessionAfterTheLimitIsRefused) {
    const int limit = TelnetServer::kMaxSessions;
    server().setMaxSessionsPerPeer(limit);  // every client comes from 127.0.0.1
    std::latch held(limit + 1);
    std::latch release(1);
    std::atomic<int> greeted{0};
    QByteArray refusal;
    runClients(limit + 1, [&](int i) {
        if (i == limit) {
            held.arrive_and_wait();  // every other client has its session
            TelnetClient c(port);
            refusal = c.readToEnd();
            release.count_down();
            return;
        }
        TelnetClient c(port);
        if (c.readPrompt().endsWith("> ")) greeted.fetch_add(1);
        held.count_down();
        release.wait();
        if (i == 0) {
            // Once a session has ended, a new client is let in again.
            c.send("bye\r");
            c.readToEnd();
        }
    });
    EXPECT_EQ(greeted.load(), limit);
    EXPECT_EQ(refusal, (TelnetServer::kRefusal + "\n\r").toUtf8());
    waitForSessions(0);
    QByteArray later;
    runClients(1, [&](int) {
        TelnetClient c(port);
        later = c.readPrompt();
    });
    EXPECT_EQ(later, TelnetSession::greeting());
}

TEST_F(TelnetServerTest, TenMegabytesWithoutALineEnd) {
    QByteArray tail;
    qint64 echoed = 0;
    runClients(1, [&](int) {
        TelnetClient c(port);
        c.readPrompt();
        std::thread writer([&] {
            const QByteArray chunk(64 * 1024, 'x');
            for (int i = 0; i < 160; ++i) c.send(chunk);
            c.send("\rvolume\r");
        });
        tail = c.readUntil("volume = 100\n\r\n\r> ");
        echoed = c.received();
        writer.join();
    });
    EXPECT_GE(echoed, 160 * 64 * 1024);
    EXPECT_TRUE(tail.endsWith("volume\rvolume = 100\n\r\n\r> ") ||
                tail.endsWith("> volume = 100\n\r\n\r> "))
        << tail.right(120).constData();
    EXPECT_EQ(tail.count("unrecognized command\n\r\n\r> "), 1);
    EXPECT_LT(server().largestSessionBuffer(), kSessionBound);
}

TEST_F(TelnetServerTest, AClientThatNeverReadsStallsOnlyItself) {
    qint64 sent = 0;
    QByteArray other;
    std::atomic<bool> stalled{false};
    runClients(2, [&](int i) {
        TelnetClient c(port);
        if (i == 0) {
            // Sends commands until the connection takes no more, and never reads a reply.
            const QByteArray commands = QByteArray("help\r").repeated(1000);
            for (;;) {
                const ssize_t n = ::send(c.fd(), commands.constData(), size_t(commands.size()),
                                         MSG_NOSIGNAL | MSG_DONTWAIT);
                if (n <= 0) break;
                sent += n;
            }
            stalled.store(true);
            return;
        }
        c.readPrompt();
        while (!stalled.load()) std::this_thread::yield();
        other = c.command("volume");
    });
    EXPECT_GT(sent, TelnetConnection::kMaxUnsent);
    EXPECT_EQ(other, "volume = 100\n\r\n\r> ");
    EXPECT_LT(server().largestSessionBuffer(), kSessionBound);
}

TEST_F(TelnetServerTest, StopReleasesSessionsWaitingOnTheMainThread) {
    constexpr int kClients = 8;
    std::atomic<bool> go{false};
    std::atomic<int> waiting{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kClients; ++i)
        threads.emplace_back([&] {
            TelnetClient c(port);
            c.readPrompt();
            while (!go.load()) std::this_thread::yield();
            c.send("volume 5\r");
            c.readUntil("volume 5\r");  // echoed before the command is handed over
            waiting.fetch_add(1);
            c.readToEnd();
        });
    // Sessions are accepted on this thread; then it stops delivering their commands.
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (server().sessionCount() == kClients) loop.quit();
    });
    poll.start(2);
    loop.exec();
    poll.stop();
    go.store(true);
    while (waiting.load() < kClients) std::this_thread::yield();
    server().stop();
    EXPECT_EQ(server().sessionCount(), 0);
    EXPECT_FALSE(server().isRunning());
    for (auto& t : threads) t.join();
    // The commands that were waiting were answered empty, never run.
    EXPECT_EQ(rig.controller->state().volume, 100);
}

TEST_F(TelnetServerTest, OnePacketOfDirLinesToAClientThatNeverReads) {
    const QString folder = rig.home.filePath("many");
    ASSERT_TRUE(QDir().mkpath(folder));
    for (int i = 0; i < 3000; ++i)
        ASSERT_TRUE(QFile(folder + QStringLiteral("/a song with a rather long name %1.mp3").arg(i))
                        .open(QIODevice::WriteOnly));
    rig.store->change([&](PlayerSettings& s) { s.telnetpath = folder; });
    TelnetLimits limits;
    limits.commandBurst = 2000;  // the bound alone is tested, not the command rate
    server().setLimits(limits);
    qint64 replySize = 0;
    runClients(1, [&](int) {
        TelnetClient c(port);
        c.readPrompt();
        replySize = c.command("dir").size();
    });
    ASSERT_GT(replySize, 64 * 1024);
    ASSERT_LT(server().largestSessionBuffer(), TelnetConnection::kMaxUnsent);
    runClients(1, [&](int) {
        TelnetClient c(port);
        // A thousand answers asked for at once; none is read.
        c.send(QByteArray("dir\r").repeated(1024));
        while (server().largestSessionBuffer() <= TelnetConnection::kMaxUnsent)
            std::this_thread::yield();
    });
    // The line that crossed the limit is the last one answered.
    EXPECT_LT(server().largestSessionBuffer(),
              TelnetConnection::kMaxUnsent + 2 * TelnetSession::kMaxLine + replySize);
    waitForSessions(0);
}

TEST_F(TelnetServerTest, IdleSessionsAreClosedAndFreeTheirPlaces) {
    server().setMaxSessions(2);
    TelnetLimits limits;
    limits.idleTimeout = 200ms;
    server().setLimits(limits);
    QByteArray ends[2];
    runClients(2, [&](int i) {
        TelnetClient c(port);
        c.readPrompt();
        ends[i] = c.readToEnd();
    });
    waitForSessions(0);
    QByteArray later;
    runClients(1, [&](int) {
        TelnetClient c(port);
        later = c.readPrompt();
    });
    for (const QByteArray& end : ends)
        EXPECT_EQ(end, (TelnetConnection::kIdleFarewell + "\n\r").toUtf8());
    EXPECT_EQ(later, TelnetSession::greeting());
}

TEST_F(TelnetServerTest, OnePeerCannotTakeEveryPlace) {
    server().setMaxSessionsPerPeer(2);
    std::latch held(2);
    std::latch release(1);
    QByteArray third, fromElsewhere;
    runClients(3, [&](int i) {
        if (i < 2) {
            TelnetClient c(port);
            c.readPrompt();
            held.count_down();
            release.wait();
            return;
        }
        held.wait();
        TelnetClient c(port);
        third = c.readToEnd();
        TelnetClient other(port, "127.0.0.2");
        fromElsewhere = other.readPrompt();
        release.count_down();
    });
    EXPECT_EQ(third, (TelnetServer::kRefusal + "\n\r").toUtf8());
    EXPECT_EQ(fromElsewhere, TelnetSession::greeting());
}

TEST_F(TelnetServerTest, AClientThatNeverReadsIsDroppedOnceItsOutputStopsMoving) {
    TelnetLimits limits;
    limits.sendTimeout = 300ms;
    server().setLimits(limits);
    std::atomic<bool> stalled{false};
    std::atomic<bool> dropped{false};
    std::thread client([&] {
        TelnetClient c(port);
        const QByteArray commands = QByteArray("help\r").repeated(1000);
        while (::send(c.fd(), commands.constData(), size_t(commands.size()),
                      MSG_NOSIGNAL | MSG_DONTWAIT) > 0) {
        }
        stalled.store(true);
        while (!dropped.load()) std::this_thread::yield();
    });
    QEventLoop loop;
    QTimer poll;
    bool seen = false;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        seen = seen || server().sessionCount() == 1;
        if (seen && stalled.load() && server().sessionCount() == 0) loop.quit();
    });
    poll.start(5);
    QTimer::singleShot(60s, &loop, &QEventLoop::quit);  // a guard, so a failure cannot hang
    loop.exec();
    dropped.store(true);
    client.join();
    EXPECT_TRUE(seen);
    EXPECT_EQ(server().sessionCount(), 0);
}

TEST_F(TelnetServerTest, ABurstOfCommandsIsCutShort) {
    TelnetLimits limits;
    limits.commandBurst = 3;
    limits.commandsPerSecond = 0;
    server().setLimits(limits);
    QByteArray replies;
    runClients(1, [&](int) {
        TelnetClient c(port);
        c.readPrompt();
        c.send("volume 1\rvolume 2\rvolume 3\rvolume 4\rvolume 5\r");
        for (int i = 0; i < 5; ++i) replies += c.readPrompt();
    });
    EXPECT_EQ(replies.count("too many commands, slow down\n\r"), 2);
    EXPECT_EQ(rig.controller->state().volume, 3);
}

TEST_F(TelnetServerTest, ThisMachineOnlyByDefaultAndAPasswordWhenSet) {
    EXPECT_EQ(PlayerSettings().telnetbind, "127.0.0.1");
    EXPECT_EQ(server().address(), QHostAddress(QHostAddress::LocalHost));
    rig.store->change([&](PlayerSettings& s) {
        s.telnetbind = "";
        s.telnetpassword = "open sesame";
    });
    daemon.stop();
    ASSERT_TRUE(daemon.start());
    EXPECT_EQ(server().address(), QHostAddress(QHostAddress::LocalHost));
    EXPECT_FALSE(rig.controller->state().statusText.contains("other machines"));
    port = server().port();
    QByteArray greeting, before, welcome, volume, failures;
    runClients(1, [&](int) {
        TelnetClient c(port);
        greeting = c.readUntil("password: ");
        c.send("volume 7\r");
        before = c.readUntil("password: ");
        c.send("open sesame\r");
        welcome = c.readPrompt();
        volume = c.command("volume");
    });
    runClients(1, [&](int) {
        TelnetClient c(port);
        c.readUntil("password: ");
        c.send("a\rb\rc\rvolume 9\r");
        failures = c.readToEnd();
    });
    EXPECT_EQ(greeting, TelnetSession::greeting(true));
    EXPECT_EQ(before, "volume 7\rwrong password\n\r\n\rpassword: ");
    EXPECT_EQ(welcome, "open sesame\rok\n\r\n\r> ");
    EXPECT_EQ(volume, "volume = 100\n\r\n\r> ");
    EXPECT_EQ(failures.count("wrong password"), 3);
    EXPECT_TRUE(failures.endsWith("wrong password\n\r"));
    EXPECT_EQ(rig.controller->state().volume, 100);
    // Every interface: said on the status line (and stderr).
    rig.store->change([&](PlayerSettings& s) { s.telnetbind = "0.0.0.0"; });
    daemon.stop();
    ASSERT_TRUE(daemon.start());
    EXPECT_EQ(rig.controller->state().statusText,
              TelnetDaemon::exposureWarning(QHostAddress(QHostAddress::AnyIPv4), true));
    daemon.stop();
}

}  // namespace
}  // namespace ombrix::test

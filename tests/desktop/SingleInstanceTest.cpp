#include "ombrix/desktop/SingleInstance.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QLocalSocket>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <atomic>
#include <cstring>
#include <functional>
#include <thread>

#include "ombrix/control/InstanceMessage.h"
#include "support/Files.h"

using namespace ombrix;

namespace {

/// What a second start does, on its own thread (the receiver needs this thread's event loop).
bool sendFromAnotherThread(const QString& name, const QString& text, uint trusted = ::getuid()) {
    std::atomic<int> result{-1};
    std::thread sender([&] {
        SingleInstance second(name);
        second.setTrustedUser(trusted);
        result = second.sendToRunning(InstanceMessage::encode(text)) ? 1 : 0;
    });
    test::waitFor([&] { return result >= 0; });
    sender.join();
    return result == 1;
}

class SingleInstanceTest : public ::testing::Test {
protected:
    QTemporaryDir dir_;
    QString name_ = dir_.filePath("player");
};

}  // namespace

TEST_F(SingleInstanceTest, SecondStartHandsOverItsBlock) {
    SingleInstance first(name_);
    EXPECT_FALSE(first.otherInstanceRunning());
    ASSERT_TRUE(first.listen());
    QStringList received;
    QObject::connect(&first, &SingleInstance::messageReceived,
                     [&](const QString& t) { received << t; });

    SingleInstance second(name_);
    EXPECT_TRUE(second.otherInstanceRunning());
    EXPECT_FALSE(second.listen());  // and the first one's name is left alone
    EXPECT_FALSE(second.sendToRunning("short"));

    EXPECT_TRUE(sendFromAnotherThread(name_, "@@add /m/Ünïcode song.mp3"));
    EXPECT_TRUE(sendFromAnotherThread(name_, "/m/b.mp3"));
    EXPECT_EQ(received, QStringList({"@@add /m/Ünïcode song.mp3", "/m/b.mp3"}));
}

TEST_F(SingleInstanceTest, OversizeAndPartialSendersAreDropped) {
    SingleInstance first(name_);
    ASSERT_TRUE(first.listen());
    int messages = 0;
    QObject::connect(&first, &SingleInstance::messageReceived, [&] { ++messages; });

    // More than a block is closed at once (its time would last the whole test).
    first.setReceiveTimeout(120000);
    QLocalSocket oversize;
    oversize.connectToServer(name_);
    ASSERT_TRUE(oversize.waitForConnected(5000));
    oversize.write(QByteArray(300, 'x'));
    EXPECT_TRUE(test::waitFor([&] { return oversize.state() == QLocalSocket::UnconnectedState; }));
    EXPECT_TRUE(oversize.readAll().isEmpty());  // no acknowledgement

    // Less than a block is closed when its time is up.
    first.setReceiveTimeout(200);
    QLocalSocket partial;
    partial.connectToServer(name_);
    ASSERT_TRUE(partial.waitForConnected(5000));
    partial.write(QByteArray(100, 'y'));
    EXPECT_TRUE(test::waitFor([&] { return partial.state() == QLocalSocket::UnconnectedState; }));
    EXPECT_EQ(messages, 0);

    // The server still serves the next start.
    EXPECT_TRUE(sendFromAnotherThread(name_, "@@stop"));
    EXPECT_EQ(messages, 1);
}

TEST_F(SingleInstanceTest, OnlyAHandfulOfConnectionsAtOnce) {
    SingleInstance first(name_);
    first.setReceiveTimeout(120000);  // idle connections stay for the whole test
    ASSERT_TRUE(first.listen());

    std::vector<std::unique_ptr<QLocalSocket>> idle;
    for (int i = 0; i < SingleInstance::kMaxConnections + 1; ++i) {
        idle.push_back(std::make_unique<QLocalSocket>());
        idle.back()->connectToServer(name_);
        ASSERT_TRUE(idle.back()->waitForConnected(5000));
    }
    // The one beyond the limit is closed long before its time is up.
    EXPECT_TRUE(test::waitFor([&] {
        int closed = 0;
        for (const auto& s : idle) closed += s->state() == QLocalSocket::UnconnectedState;
        return closed == 1;
    }));
    EXPECT_EQ(idle.back()->state(), QLocalSocket::UnconnectedState);

    idle.front()->disconnectFromServer();
    test::waitFor([&] { return idle.front()->state() == QLocalSocket::UnconnectedState; });
    QString got;
    QObject::connect(&first, &SingleInstance::messageReceived, [&](const QString& t) { got = t; });
    EXPECT_TRUE(sendFromAnotherThread(name_, "@@cd"));
    EXPECT_EQ(got, "@@cd");
}

TEST_F(SingleInstanceTest, StaleNameAfterACrashIsTakenOver) {
    // A crashed instance leaves its socket file behind with nobody listening on it.
    const QByteArray path = QFile::encodeName(name_);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(static_cast<size_t>(path.size()), sizeof(addr.sun_path));
    std::memcpy(addr.sun_path, path.constData(), static_cast<size_t>(path.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)), 0);
    ::close(fd);
    ASSERT_TRUE(QFile::exists(name_));

    SingleInstance restarted(name_);
    EXPECT_FALSE(restarted.otherInstanceRunning());
    EXPECT_FALSE(restarted.sendToRunning(InstanceMessage::encode("/m/a.mp3"), 200));
    ASSERT_TRUE(restarted.listen());
    QString got;
    QObject::connect(&restarted, &SingleInstance::messageReceived,
                     [&](const QString& t) { got = t; });
    EXPECT_TRUE(sendFromAnotherThread(name_, "/m/again.mp3"));
    EXPECT_EQ(got, "/m/again.mp3");
}

TEST_F(SingleInstanceTest, OnlyTheSameUsersInstancesTalkToEachOther) {
    SingleInstance first(name_);
    ASSERT_TRUE(first.listen());
    QStringList received;
    QObject::connect(&first, &SingleInstance::messageReceived,
                     [&](const QString& t) { received << t; });

    // Seen from a start that trusts only another user, this server is nobody: its file names
    // stay at home.
    const uint stranger = ::getuid() + 1;
    SingleInstance wary(name_);
    wary.setTrustedUser(stranger);
    EXPECT_FALSE(wary.otherInstanceRunning());
    EXPECT_FALSE(sendFromAnotherThread(name_, "/m/private.mp3", stranger));

    // And a server that trusts only another user takes nothing from this one.
    first.setTrustedUser(stranger);
    EXPECT_FALSE(sendFromAnotherThread(name_, "/m/b.mp3"));
    first.setTrustedUser(::getuid());
    EXPECT_TRUE(sendFromAnotherThread(name_, "/m/c.mp3"));
    EXPECT_EQ(received, QStringList({"/m/c.mp3"}));
}

TEST_F(SingleInstanceTest, TheSocketLivesInThePrivateTemporaryFolder) {
    QProcessEnvironment env;
    env.insert("XDG_RUNTIME_DIR", dir_.path());
    QFile::setPermissions(dir_.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ExeOwner);
    EXPECT_EQ(SingleInstance::serverPath(env), dir_.filePath("ombrix/instance"));
    EXPECT_EQ(SingleInstance::serverPath(env, "group"), dir_.filePath("ombrix/group"));
    EXPECT_EQ(SingleInstance::serverPath(env, name_), name_);

    // No private folder to be had (the temporary folder is another user's file): no sharing.
    const QString blocked = dir_.filePath("blocked");
    QFile(blocked).open(QIODevice::WriteOnly);
    env.insert("XDG_RUNTIME_DIR", "relative");
    env.insert("TMPDIR", blocked);
    EXPECT_EQ(SingleInstance::serverPath(env), QString());
    SingleInstance none(SingleInstance::serverPath(env));
    EXPECT_FALSE(none.otherInstanceRunning());
    EXPECT_FALSE(none.listen());
}

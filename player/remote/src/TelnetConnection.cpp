#include "ombrix/remote/TelnetConnection.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>
#include <utility>

#include "ombrix/remote/TelnetInterpreter.h"
#include "ombrix/remote/TelnetSession.h"
#include "ombrix/remote/TokenBucket.h"

namespace ombrix {
namespace {

// With @p reset, closing resets the connection at once and drops whatever was not yet sent;
// without, the system delivers the rest in the background.
void setLinger(qintptr handle, bool reset) {
    linger l{};
    l.l_onoff = reset ? 1 : 0;
    l.l_linger = 0;
    ::setsockopt(int(handle), SOL_SOCKET, SO_LINGER, &l, sizeof l);
}

}  // namespace

TelnetConnection::TelnetConnection(qintptr handle, quint64 id, QHostAddress peer, Command command,
                                   const TelnetLimits& limits, QByteArray password,
                                   std::atomic<qint64>& peakBuffer)
    : handle_(handle),
      id_(id),
      peer_(std::move(peer)),
      command_(std::move(command)),
      limits_(limits),
      password_(std::move(password)),
      peak_(peakBuffer) {}

TelnetConnection::~TelnetConnection() {
    finish();
}

void TelnetConnection::requestQuit() {
    quit_.store(true);
    quit();
}

void TelnetConnection::finish() {
    requestQuit();
    while (!wait(QDeadlineTimer(20))) QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    // Pairs with the release at the end of run(): QThread's own join is invisible to race
    // detectors.
    (void)done_.load(std::memory_order_acquire);
}

void TelnetConnection::notePeak(qint64 bytes) {
    qint64 seen = peak_.load();
    while (bytes > seen && !peak_.compare_exchange_weak(seen, bytes)) {
    }
}

QString TelnetConnection::runOnMainThread(const QString& line) {
    if (quit_.load()) return {};
    {
        const std::lock_guard lock(mutex_);
        pending_ = line;
        reply_.clear();
    }
    // This object lives on the main thread: the call runs there while this thread waits.
    QMetaObject::invokeMethod(this, "runPendingCommand", Qt::BlockingQueuedConnection);
    const std::lock_guard lock(mutex_);
    pending_.clear();
    return std::exchange(reply_, QString());
}

void TelnetConnection::runPendingCommand() {
    QString line;
    {
        const std::lock_guard lock(mutex_);
        line = pending_;
    }
    const QString reply = quit_.load() || !command_ ? QString() : command_(line);
    const std::lock_guard lock(mutex_);
    reply_ = reply;
}

void TelnetConnection::run() {
    {
        QTcpSocket socket;
        if (!socket.setSocketDescriptor(handle_)) {
            ::close(int(handle_));
        } else {
            setLinger(handle_, true);
            // The echo and the reply go out as separate small writes: without this, the reply
            // would wait for the client's delayed acknowledgement of the echo (about 40 ms).
            socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
            // Qt takes no more from the connection than one line's worth until it is read.
            socket.setReadBufferSize(TelnetSession::kMaxLine);
            QTimer idle;
            idle.setSingleShot(true);
            idle.setInterval(limits_.idleTimeout);
            QTimer stalled;
            stalled.setSingleShot(true);
            stalled.setInterval(limits_.sendTimeout);
            QElapsedTimer clock;
            clock.start();
            TokenBucket bucket(limits_.commandsPerSecond, limits_.commandBurst);

            auto send = [&](QByteArrayView bytes) {
                if (!socket.isOpen()) return;  // the client has gone
                socket.write(bytes.data(), bytes.size());
                socket.flush();
            };
            TelnetSession::Options options;
            options.password = password_;
            options.hasRoom = [&] { return socket.bytesToWrite() <= kMaxUnsent; };
            options.mayRun = [&] { return bucket.take(clock.elapsed()); };
            TelnetSession session([this](const QString& line) { return runOnMainThread(line); },
                                  send, std::move(options));
            bool ending = false;
            // After "bye" or a farewell the rest is delivered, not reset away.
            auto endGently = [&] {
                ending = true;
                setLinger(handle_, false);
                quit();
            };
            // Output that waits is watched; output that moves, or is all gone, is not.
            auto watchOutput = [&] {
                if (socket.bytesToWrite() == 0)
                    stalled.stop();
                else if (!stalled.isActive())
                    stalled.start();
            };
            quint64 linesSeen = 0;
            bool pumping = false;
            auto pump = [&] {
                // A flush inside a reply can report bytes written at once: the session is not
                // entered again while it is answering.
                if (pumping) return;
                pumping = true;
                while (!ending && !quit_.load()) {
                    if (socket.bytesToWrite() > kMaxUnsent) break;  // bytesWritten resumes
                    bool goOn = true;
                    if (session.hasInput()) {
                        goOn = session.resume();
                    } else {
                        char buffer[TelnetSession::kMaxLine];
                        if (!socket.isOpen()) break;
                        const qint64 n = socket.read(buffer, sizeof buffer);
                        if (n <= 0) break;
                        goOn = session.receive(QByteArrayView(buffer, n));
                    }
                    notePeak(socket.bytesToWrite() + socket.bytesAvailable() +
                             session.pendingInput() + session.pendingLine());
                    if (session.lines() != linesSeen) {
                        linesSeen = session.lines();
                        idle.start();
                    }
                    if (!goOn) endGently();
                }
                pumping = false;
                watchOutput();
                if (quit_.load()) quit();
            };
            connect(&socket, &QTcpSocket::readyRead, &socket, pump);
            connect(&socket, &QTcpSocket::bytesWritten, &socket, [&] {
                stalled.stop();  // it moved
                pump();
            });
            connect(&socket, &QTcpSocket::disconnected, &socket, [this] { quit(); });
            connect(&socket, &QTcpSocket::errorOccurred, &socket, [this] { quit(); });
            connect(&idle, &QTimer::timeout, &socket, [&] {
                if (ending) return;
                send((kIdleFarewell + TelnetInterpreter::kEol).toUtf8());
                endGently();
            });
            // Reset at the end: what such a client has not taken is dropped.
            connect(&stalled, &QTimer::timeout, &socket, [this] { quit(); });
            socket.write(session.greetingForThisSession());
            socket.flush();
            idle.start();
            watchOutput();
            if (!quit_.load()) exec();
            socket.flush();
            socket.abort();
        }
    }
    done_.store(true, std::memory_order_release);
}

}  // namespace ombrix

#include "ombrix/remote/TelnetDaemon.h"

#include <utility>

#include "ombrix/control/PlaybackController.h"
#include "ombrix/settings/SettingsStore.h"

namespace ombrix {

TelnetDaemon::TelnetDaemon(PlaybackController& controller, const SettingsStore& store,
                           QString version, std::function<void()> shutdown)
    : controller_(controller),
      store_(store),
      host_(controller, store, std::move(version), std::move(shutdown)),
      server_([this](const QString& line) { return host_.execute(line); }) {}

TelnetDaemon::~TelnetDaemon() {
    stop();
}

void TelnetDaemon::startIfEnabled() {
    if (store_.settings().startdaemon) start();
}

namespace {

QString fingerprint(const PlayerSettings& s) {
    return s.telnetbind.trimmed() + QLatin1Char('\n') + QString::number(s.telnetport) +
           QLatin1Char('\n') + s.telnetpassword;
}

}  // namespace

bool TelnetDaemon::start() {
    const PlayerSettings& s = store_.settings();
    const QString bind = s.telnetbind.trimmed();
    const QHostAddress address(bind.isEmpty() ? kDefaultAddress : bind);
    running_ = fingerprint(s);
    if (address.isNull()) {
        lastError_ = QStringLiteral("telnet server: bad address ") + bind;
        controller_.showStatus(lastError_, 50);
        return false;
    }
    server_.setPassword(s.telnetpassword.toUtf8());
    lastError_.clear();
    if (server_.start(address, port(QProcessEnvironment::systemEnvironment(), s.telnetport))) {
        if (!address.isLoopback()) {
            const QString warning =
                exposureWarning(address, !store_.settings().telnetpassword.isEmpty());
            qWarning("%s", qPrintable(warning));
            controller_.showStatus(warning, 50);
        }
        return true;
    }
    lastError_ = QStringLiteral("telnet server: ") + server_.errorString();
    controller_.showStatus(lastError_, 50);
    return false;
}

void TelnetDaemon::stop() {
    server_.stop();
    running_.clear();
}

bool TelnetDaemon::listening() const {
    return server_.isRunning();
}

QString TelnetDaemon::followSettings() {
    const PlayerSettings& s = store_.settings();
    if (!s.startdaemon) {
        if (listening()) stop();
        lastError_.clear();
        return {};
    }
    // A failed start is tried again only when the settings changed since.
    if (running_ == fingerprint(s)) return listening() ? QString() : lastError_;
    if (listening()) stop();
    return start() ? QString() : lastError_;
}

QString TelnetDaemon::exposureWarning(const QHostAddress& address, bool password) {
    return QStringLiteral("telnet server: listening on ") + address.toString() +
           (password ? QStringLiteral(", other machines can reach it")
                     : QStringLiteral(", other machines can reach it without a password"));
}

quint16 TelnetDaemon::port(const QProcessEnvironment& env, int setting) {
    bool ok = false;
    const uint value = env.value(kPortVariable).toUInt(&ok);
    if (ok && value <= 65535) return quint16(value);
    return setting >= 1 && setting <= 65535 ? quint16(setting) : TelnetServer::kPort;
}

}  // namespace ombrix

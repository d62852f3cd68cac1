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

bool TelnetDaemon::start() {
    const QString bind = store_.settings().telnetbind.trimmed();
    const QHostAddress address(bind.isEmpty() ? kDefaultAddress : bind);
    if (address.isNull()) {
        controller_.showStatus(QStringLiteral("telnet server: bad address ") + bind, 50);
        return false;
    }
    server_.setPassword(store_.settings().telnetpassword.toUtf8());
    if (server_.start(address, port(QProcessEnvironment::systemEnvironment()))) {
        if (!address.isLoopback()) {
            const QString warning =
                exposureWarning(address, !store_.settings().telnetpassword.isEmpty());
            qWarning("%s", qPrintable(warning));
            controller_.showStatus(warning, 50);
        }
        return true;
    }
    controller_.showStatus(QStringLiteral("telnet server: ") + server_.errorString(), 50);
    return false;
}

void TelnetDaemon::stop() {
    server_.stop();
}

QString TelnetDaemon::exposureWarning(const QHostAddress& address, bool password) {
    return QStringLiteral("telnet server: listening on ") + address.toString() +
           (password ? QStringLiteral(", other machines can reach it")
                     : QStringLiteral(", other machines can reach it without a password"));
}

quint16 TelnetDaemon::port(const QProcessEnvironment& env) {
    bool ok = false;
    const uint value = env.value(kPortVariable).toUInt(&ok);
    return ok && value <= 65535 ? quint16(value) : TelnetServer::kPort;
}

}  // namespace ombrix

#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <functional>

#include "ombrix/remote/TelnetCommandHost.h"
#include "ombrix/remote/TelnetServer.h"

namespace ombrix {

class PlaybackController;
class SettingsStore;

/**
 * @brief The player daemon as the player owns it: the server on the "telnetbind" address
 *        (empty: 127.0.0.1) and the "telnetport" port (OMBRIX_TELNET_PORT overrides it; 0 picks
 *        a free one), with the "telnetpassword" setting, running its commands on the player
 *        through TelnetCommandHost. An address other than a loopback one is warned about on
 *        stderr and in the status line.
 *
 * Thread affinity: main thread. Destroying it stops the server and joins every session.
 * Does not throw.
 */
class TelnetDaemon {
public:
    static inline const QString kPortVariable = QStringLiteral("OMBRIX_TELNET_PORT");
    static inline const QString kDefaultAddress = QStringLiteral("127.0.0.1");

    /// @param version the main window's title; @param shutdown closes the main window
    TelnetDaemon(PlaybackController& controller, const SettingsStore& store, QString version,
                 std::function<void()> shutdown);
    TelnetDaemon(const TelnetDaemon&) = delete;
    TelnetDaemon& operator=(const TelnetDaemon&) = delete;
    ~TelnetDaemon();

    /// Starts when "startdaemon" is set; a failure is shown in the status line.
    void startIfEnabled();
    /// Listens now; false (and the reason in the status line) when it cannot.
    bool start();
    void stop();
    /**
     * @brief The settings changed: starts, stops or restarts the server when "startdaemon",
     *        the address, the port or the password differ from what it runs with. An empty
     *        string when the server is as the settings ask, else why it is not listening.
     */
    QString followSettings();
    bool listening() const;

    TelnetServer& server() noexcept { return server_; }
    TelnetCommandHost& host() noexcept { return host_; }

    /// The port to listen on: @p env's OMBRIX_TELNET_PORT when it is a port number, else
    /// @p setting when it is one (1..65535), else 30303.
    static quint16 port(const QProcessEnvironment& env, int setting = TelnetServer::kPort);
    /// The warning for a server that listens on @p address, which is not a loopback one.
    static QString exposureWarning(const QHostAddress& address, bool password);

private:
    PlaybackController& controller_;
    const SettingsStore& store_;
    TelnetCommandHost host_;
    TelnetServer server_;
    QString running_;  // address, port and password the server was started with
    QString lastError_;
};

}  // namespace ombrix

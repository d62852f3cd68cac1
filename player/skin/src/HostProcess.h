#pragma once

#include <sys/types.h>

#include <QString>

#include "HostProtocol.h"

namespace ombrix {

/**
 * @brief One running ombrix-plugin-host: the shared block, the socket to it and its process.
 *
 * Never blocks longer than the limit a call is given. The destructor kills and reaps a host that
 * still runs, so no process and no zombie outlives the object.
 * Thread affinity: the thread that created it.
 */
class HostProcess {
public:
    enum class Wait { Answered, Pending, Died };

    HostProcess() = default;
    ~HostProcess();
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    /// Creates the shared block (stamped with @p kind) and starts @p program on it.
    bool start(const QString& program, pluginhost::Kind kind);
    pluginhost::SharedBlock& block() { return *block_; }
    const pluginhost::SharedBlock& block() const { return *block_; }

    /// Sends a request without waiting; false when the host is gone.
    bool send(pluginhost::Command command, int32_t argument = 0);
    /// Waits up to @p limitMs (0: just looks) for the reply to the last request sent; replies to
    /// earlier ones are dropped.
    Wait wait(pluginhost::Reply* reply, int limitMs);
    /// Whether the host ended through a signal (a crash) rather than by itself; valid after Died.
    bool crashed() const { return crashed_; }

    /// Asks the host to close its plug-in, waits up to @p limitMs for it to end, then kills it.
    void stop(int limitMs);
    /// Waits up to @p limitMs for a host that was told to end; kills it afterwards.
    void reap(int limitMs);
    /// Ends the host at once (SIGKILL) and reaps it.
    void kill();

private:
    void closeAll();

    int memfd_ = -1;
    int socket_ = -1;
    pluginhost::SharedBlock* block_ = nullptr;
    pid_t pid_ = -1;
    uint32_t serial_ = 0;
    bool crashed_ = false;
};

}  // namespace ombrix

// ombrix-plugin-host: runs one visual plug-in for the player, in a process of its own, so that
// a plug-in that crashes, hangs or writes where it should not ends only this process.
// Started by the player with the shared block on descriptor 3 and its socket on descriptor 4;
// serves requests until Close, a one-shot request (Config, Description) or the player's end.

#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>

#include "HostProtocol.h"
#include "HostedPlugin.h"

using namespace ombrix::pluginhost;

namespace {

bool receive(Request* request) {
    for (;;) {
        const ssize_t n = ::recv(kSocketFd, request, sizeof *request, 0);
        if (n == static_cast<ssize_t>(sizeof *request)) return true;
        if (n < 0 && errno == EINTR) continue;
        return false;  // the player is gone, or spoke nonsense
    }
}

void answer(const Request& request, Status status, int32_t value = 0) {
    const Reply reply{request.serial, status, value};
    ::send(kSocketFd, &reply, sizeof reply, MSG_NOSIGNAL);
}

SharedBlock* mapBlock() {
    struct stat st {};
    if (::fstat(kSharedFd, &st) != 0 || st.st_size < static_cast<off_t>(sizeof(SharedBlock)))
        return nullptr;
    void* p =
        ::mmap(nullptr, sizeof(SharedBlock), PROT_READ | PROT_WRITE, MAP_SHARED, kSharedFd, 0);
    if (p == MAP_FAILED) return nullptr;
    auto* block = static_cast<SharedBlock*>(p);
    return block->magic == kMagic ? block : nullptr;
}

/// Settings may stay open as long as the user likes: they run in a child that outlives this
/// process (and is reaped by init), so the player only waits for the answer whether there are any.
void configure(HostedPlugin& plugin, const Request& request) {
    const Status status = plugin.prepareConfig(request.argument);
    if (status == Status::Ok) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(kSocketFd);
            plugin.runConfig();
            ::_exit(0);
        }
        if (child < 0) {
            answer(request, Status::InvalidPlugin);
            return;
        }
    }
    answer(request, status);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        std::fprintf(stderr, "%s: started by Ombrix Player only (no arguments)\n", argv[0]);
        return 2;
    }
    ::signal(SIGPIPE, SIG_IGN);
    // A plug-in stuck in a call must not outlive the player.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    SharedBlock* block = mapBlock();
    if (!block) {
        std::fprintf(stderr, "%s: no shared block from the player\n", argv[0]);
        return 2;
    }
    std::unique_ptr<HostedPlugin> plugin = HostedPlugin::create(*block);
    Request request{};
    while (receive(&request)) {
        switch (request.command) {
            case Command::Load: {
                int32_t value = 0;
                const Status status = plugin->load(&value);
                answer(request, status, value);
                break;
            }
            case Command::Update:
                answer(request, plugin->update());
                break;
            case Command::SelectModule:
                answer(request, plugin->selectModule(request.argument));
                break;
            case Command::Config:
                configure(*plugin, request);
                return 0;
            case Command::Description:
                answer(request, plugin->describe());
                return 0;
            case Command::Close:
                plugin->close();
                answer(request, Status::Ok);
                return 0;
            default:
                answer(request, Status::InvalidPlugin);
                break;
        }
    }
    plugin->close();
    return 0;
}

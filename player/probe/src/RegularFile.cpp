#include "ombrix/probe/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ombrix::probe {

bool RegularFile::is(const std::filesystem::path& path) noexcept {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

int RegularFile::open(const std::filesystem::path& path, int flags) noexcept {
    if (!is(path)) return -1;
    // O_NONBLOCK: should a FIFO have taken the file's place, opening it does not wait for a
    // writer; the descriptor is then refused below.
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    const int fl = ::fcntl(fd, F_GETFL);
    if (fl >= 0) ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    return fd;
}

}  // namespace ombrix::probe

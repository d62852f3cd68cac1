#include "ombrix/probe/FileByteSource.h"

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include "ombrix/probe/RegularFile.h"

namespace ombrix::probe {

FileByteSource::FileByteSource(const std::filesystem::path& path) noexcept {
    const int fd = RegularFile::open(path, O_RDONLY);
    if (fd < 0) return;
    file_.reset(::fdopen(fd, "rb"));
    if (!file_) {
        ::close(fd);
        return;
    }
    if (::fseeko(file_.get(), 0, SEEK_END) == 0) {
        const off_t end = ::ftello(file_.get());
        if (end > 0) size_ = static_cast<std::uint64_t>(end);
    }
}

std::size_t FileByteSource::readAt(std::uint64_t offset, void* out,
                                   std::size_t count) const noexcept {
    if (!file_ || offset >= size_ || count == 0) return 0;
    if (::fseeko(file_.get(), static_cast<off_t>(offset), SEEK_SET) != 0) return 0;
    return std::fread(out, 1, count, file_.get());
}

}  // namespace ombrix::probe

#include "ombrix/FileByteSource.h"

#include <sys/types.h>

#include <system_error>

namespace ombrix::probe {

FileByteSource::FileByteSource(const std::filesystem::path& path) noexcept {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return;
    file_.reset(std::fopen(path.c_str(), "rb"));
    if (!file_) return;
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

#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>

#include "ombrix/probe/ByteSource.h"

namespace ombrix::probe {

/**
 * @brief A regular file opened for reading (shared; nothing is ever written). FIFOs, devices
 *        and folders give an invalid source without being opened (see RegularFile).
 *
 * Thread affinity: one thread at a time (reads move the file position).
 */
class FileByteSource final : public ByteSource {
public:
    /// Opens @p path; a file that cannot be opened gives an invalid source, never an exception.
    explicit FileByteSource(const std::filesystem::path& path) noexcept;

    FileByteSource(const FileByteSource&) = delete;
    FileByteSource& operator=(const FileByteSource&) = delete;

    bool valid() const noexcept override { return file_ != nullptr; }
    std::uint64_t size() const noexcept override { return size_; }
    std::size_t readAt(std::uint64_t offset, void* out, std::size_t count) const noexcept override;

private:
    struct Closer {
        void operator()(std::FILE* f) const noexcept { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
    std::uint64_t size_ = 0;
};

}  // namespace ombrix::probe

#pragma once

#include <filesystem>

namespace ombrix::probe {

/**
 * @brief Opens only regular files (a link to one is fine). FIFOs, devices and sockets are
 *        refused before any open that could block or have side effects, and checked again on
 *        the opened descriptor, so a file swapped in between is refused too.
 *
 * Thread affinity: any (stateless).
 */
class RegularFile {
public:
    /**
     * @brief Opens @p path with @p flags (O_RDONLY or O_RDWR; O_CLOEXEC is added).
     * @return the descriptor, owned by the caller; -1 when the path is not a regular file or
     *         cannot be opened. Never throws.
     */
    static int open(const std::filesystem::path& path, int flags) noexcept;
    /// True when @p path is a regular file (following links). Never throws.
    static bool is(const std::filesystem::path& path) noexcept;
};

}  // namespace ombrix::probe

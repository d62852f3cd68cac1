#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

namespace mixora {

/// A Shell Link file that is damaged or not a Shell Link at all.
class ShellLinkError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// What a Windows Shell Link (".lnk", the documented MS-SHLLINK binary format) says about its
/// target. Paths are as Windows wrote them (backslashes, drive letters), converted to UTF-8:
/// Unicode fields from UTF-16, ANSI fields taken as UTF-8 when valid and as Latin-1 otherwise.
struct ShellLinkTarget {
    std::string localPath;     ///< LinkInfo local base path + common path suffix; may be empty
    std::string networkPath;   ///< LinkInfo network share name + common path suffix; may be empty
    std::string relativePath;  ///< StringData relative path (relative to the link file)
    std::string workingDir;    ///< StringData working directory
};

/// Parser of Shell Link files; pure, works on the file's bytes.
///
/// Thread affinity: stateless; any thread.
class ShellLink {
public:
    /// True when the bytes begin with a Shell Link header (size 0x4C and the link class id).
    static bool isShellLink(std::span<const uint8_t> bytes) noexcept;
    /// Parses a Shell Link. Throws ShellLinkError when it is damaged; every offset and length is
    /// checked against the data.
    static ShellLinkTarget parse(std::span<const uint8_t> bytes);
};

}  // namespace mixora

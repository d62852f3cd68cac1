#pragma once

#include <string>

namespace mixora {

/// Finds the file a link points to: follows symbolic links, and reads Windows Shell Link
/// (".lnk") files so that playlists and links copied from Windows still lead somewhere.
///
/// For a Shell Link the candidates, in order, are its relative path (taken from the folder that
/// holds the link file) and its local path with the drive letter dropped; the first that exists
/// wins, with symbolic links followed. When neither exists, the local path (or else the relative
/// one) is returned in local form, so the caller can report the missing file by name.
///
/// Thread affinity: stateless; any thread.
class LinkResolver {
public:
    /// Target of path; "" when path does not exist or is a damaged Shell Link. Any other
    /// existing file is its own target (with symbolic links resolved).
    static std::string resolve(const std::string& path);

    /// Windows path to local form: backslashes become slashes and a drive letter ("C:") is
    /// dropped, so "C:\\Music\\a.mp3" becomes "/Music/a.mp3".
    static std::string toLocalPath(const std::string& windowsPath);
};

}  // namespace mixora

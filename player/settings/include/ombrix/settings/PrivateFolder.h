#pragma once

#include <QString>
#include <stdexcept>

namespace ombrix {

/// A folder the player needs to write private files into is missing and cannot be made, or
/// exists but another user could change what is in it. The message is meant for the user.
class PrivateFolderError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/**
 * @brief Folders only this user can read or change: the temporary folder of extracts and copies
 *        and the folders inside it. A folder counts as private when it is a real folder (not a
 *        symbolic link), owned by the process's user, and gives no access to group or others.
 *
 * Thread affinity: any (stateless).
 */
class PrivateFolder {
public:
    /**
     * @brief Why @p path is not a private folder.
     * @return an empty string when it is one; otherwise a short reason ("missing",
     *         "a symbolic link", "owned by another user", ...). Never throws.
     */
    static QString problem(const QString& path);

    /**
     * @brief Makes sure @p path is a private folder: creates it with mode 0700 when it is
     *        missing (and its parents as usual), then checks it without following links.
     * @throws PrivateFolderError when it cannot be created or fails the check; the folder is
     *         then left alone and must not be used.
     */
    static void ensure(const QString& path);
};

}  // namespace ombrix

#pragma once

#include <QString>
#include <stdexcept>

namespace ombrix {

/// A file could not be created, written or put in place.
class ExclusiveFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/**
 * @brief Writes a file that appears under its final name only when complete, without ever
 *        writing through a link: the data goes into a fresh file beside the final name, created
 *        with O_CREAT|O_EXCL|O_NOFOLLOW and mode 0600, which commit() renames over the final
 *        name. A planted link or file at either name is replaced, never written into.
 *
 * Thread affinity: one thread at a time.
 */
class ExclusiveFile {
public:
    /// Creates the fresh file beside @p finalPath. @throws ExclusiveFileError.
    explicit ExclusiveFile(QString finalPath);
    /// Removes the fresh file unless commit() succeeded. Never throws.
    ~ExclusiveFile();
    ExclusiveFile(const ExclusiveFile&) = delete;
    ExclusiveFile& operator=(const ExclusiveFile&) = delete;

    /// Appends @p size bytes. @throws ExclusiveFileError (a full disk, an I/O error).
    void write(const char* data, qint64 size);
    /// Bytes written so far.
    qint64 size() const noexcept { return written_; }
    /// Closes and renames the file to its final name. @throws ExclusiveFileError.
    void commit();

private:
    [[noreturn]] void fail(const char* what) const;

    QString finalPath_;
    QString partPath_;
    int fd_ = -1;
    qint64 written_ = 0;
    bool committed_ = false;
};

}  // namespace ombrix

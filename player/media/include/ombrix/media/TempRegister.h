#pragma once

#include <QString>
#include <QStringList>

namespace ombrix {

/**
 * @brief The files the player has created in its temporary folder during this run (archive
 *        extracts, decompressed modules, copies of shared files), deleted at exit.
 *
 * Thread affinity: main thread.
 */
class TempRegister {
public:
    /// With the limit on, no more than this many files are kept.
    static constexpr int kLimit = 10;

    /**
     * @brief Adds @p name (once). When @p limitToTen is set and the register then holds more
     *        than kLimit names, the oldest file is deleted from disk and from the register.
     */
    void add(const QString& name, bool limitToTen);
    /// Deletes every registered file (and its folder when that is left empty) and empties the
    /// register.
    void deleteAll();

    const QStringList& names() const noexcept { return names_; }

private:
    QStringList names_;  // oldest first
};

}  // namespace ombrix

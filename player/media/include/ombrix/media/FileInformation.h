#pragma once

#include <QString>
#include <QStringList>

namespace ombrix {

/**
 * @brief The texts shown for the song that has just started: the three panel lines and the
 *        information list of the about and information window.
 *
 * Thread affinity: a value type.
 */
struct FileInformation {
    QStringList list;
    QString line1;
    QString line2;
    QString line3;
    bool line3IsTime = false;  ///< the third line shows the elapsed time instead of a text

    /**
     * @brief Builds the texts for @p file of media @p kind. @p tag1 .. @p tag3 are the tag's
     *        display fields (empty when the file has no tag or the field is empty). A file next
     *        to @p file with the extension ".txt" replaces the list with its lines.
     */
    static FileInformation build(const QString& file, int kind, const QString& tag1,
                                 const QString& tag2, const QString& tag3);
};

}  // namespace ombrix

#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <stdexcept>

namespace ombrix {

/// A mimeapps.list (or desktop entry) text that is not a key file.
class KeyFileSyntaxError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/**
 * @brief The text of a freedesktop key file (mimeapps.list, a desktop entry) as lines, edited a
 *        key at a time: lines and groups that are not edited keep their bytes, a key that is
 *        set again keeps its place, new keys go after the last key of their group and new
 *        groups at the end. Pure text, no files.
 *
 * Thread affinity: a value type.
 */
class MimeAppsList {
public:
    /// @throws KeyFileSyntaxError when a line is neither blank, a comment, a group header
    ///         nor "key=value" inside a group.
    static MimeAppsList parse(const QByteArray& text);

    /// The list of key @p key in @p group ("a.desktop;b.desktop;" gives two), empty when absent.
    QStringList list(const QString& group, const QString& key) const;
    /// The raw value of @p key in @p group, empty when absent.
    QString value(const QString& group, const QString& key) const;
    bool contains(const QString& group, const QString& key) const;
    /// Sets @p key of @p group to @p value.
    void setValue(const QString& group, const QString& key, const QString& value);
    /// Sets @p key of @p group to @p items, each followed by ";".
    void setList(const QString& group, const QString& key, const QStringList& items);
    /// Removes a whole group (its header and lines).
    void removeGroup(const QString& group);

    QByteArray text() const;

private:
    struct Line {
        QByteArray bytes;  // without the line end
        QString group;     // the group the line belongs to
        QString key;       // empty for headers, comments and blank lines
        bool header = false;
    };
    int find(const QString& group, const QString& key) const;
    QList<Line> lines_;
    bool finalNewline_ = true;
};

}  // namespace ombrix

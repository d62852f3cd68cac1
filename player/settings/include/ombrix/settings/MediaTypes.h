#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace ombrix {

class IniDocument;

/**
 * @brief The media types of "resource/media.ini": one section per type (its display name)
 *        with the keys "ext" ("*.mp3;*.mp2;"), "icon" and "associate".
 *
 * Thread affinity: one thread at a time.
 */
class MediaTypes {
public:
    /// Text shown when the lists do not line up.
    static inline const QString kCorruptMessage =
        QStringLiteral("media.ini is corrupt. Please reinstall ombrix player.");

    /// Reads the types in file order and builds the flat extension list.
    void read(const IniDocument& ini);
    /// Writes "ext", "icon" and "associate" of every type back.
    void write(IniDocument& ini) const;

    /**
     * @brief Every fragment between a "." and the following ";" of each extension string, with
     *        the dot in front, in order: "*.mp3;*.mp2;" gives ".mp3", ".mp2".
     */
    static QStringList flatten(const QStringList& extensionStrings);

    QStringList names;       ///< type display names (section names)
    QStringList extensions;  ///< extension string of each type
    QStringList icons;       ///< icon of each type
    QStringList associate;   ///< "0"/"1" of each type
    QStringList flat;        ///< the flat extension list

    /// The lists have equal lengths.
    bool consistent() const;

    /**
     * @brief The open dialog's filter: "All supported|" + each extension string and ";", then
     *        "|", then for each type name " (" ext ")|" ext "|". nullopt when not consistent().
     */
    std::optional<QString> openDialogFilter() const;
};

}  // namespace ombrix

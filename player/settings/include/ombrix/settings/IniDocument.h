#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace ombrix {

/// A font stored as a group of four keys (base.name, base.color, base.size, base.style).
struct FontSetting {
    QString name;
    qint32 color = 0;
    int size = 10;
    int style = 0;  ///< 0 normal, 1 bold, 2 italic, 3 bold italic
    bool operator==(const FontSetting&) const = default;
};

/// A window position group: name + "left"/"top", and "width"/"height" for resizable windows.
struct WindowPosition {
    int left = 0;
    int top = 0;
    std::optional<int> width;
    std::optional<int> height;
    bool operator==(const WindowPosition&) const = default;
};

/**
 * @brief One INI file in memory with profile-file semantics: sections and keys are found
 *        without regard to case, the first of duplicate keys wins, and sections, keys and
 *        comment lines that the player does not know are kept in order when it is written out.
 *
 * Parsing and writing are pure text operations; load()/save() add the file I/O.
 * Thread affinity: one thread at a time.
 */
class IniDocument {
public:
    /// Longest string value returned by readString().
    static constexpr qsizetype kMaxStringLength = 1023;
    /// Largest settings file read; anything bigger is not a settings file of this program.
    static constexpr qsizetype kMaxFileSize = qsizetype{4} << 20;
    /// Longest line of a settings file.
    static constexpr qsizetype kMaxLineLength = 64 * 1024;

    /// Parses INI text lines.
    static IniDocument parse(const QStringList& lines);
    /**
     * @brief Parses the bytes of a settings file (UTF-8, Latin-1 fallback per line).
     * @throws FileError when they are not INI text: a zero byte (binary data or UTF-16), more
     *         than kMaxFileSize bytes or a line longer than kMaxLineLength.
     */
    static IniDocument parseText(const QByteArray& bytes);
    /**
     * @brief Reads @p path; a missing file gives an empty document.
     * @throws FileError when the file exists but is not a regular file, cannot be read or is not
     *         INI text (see parseText()).
     */
    static IniDocument read(const QString& path);
    /// read(), with an empty document for a file that cannot be read. Never throws FileError.
    static IniDocument load(const QString& path);
    /// The document as text lines.
    QStringList toLines() const;
    /// Writes the document atomically (UTF-8, CR LF). @throws FileError.
    void save(const QString& path) const;

    QStringList sectionNames() const;
    bool hasSection(const QString& section) const;
    bool hasKey(const QString& section, const QString& key) const;
    /// Keys of @p section in file order.
    QStringList keys(const QString& section) const;
    /// The raw value, or nullopt when the key is missing.
    std::optional<QString> value(const QString& section, const QString& key) const;

    /// The value cut to 1,023 characters, or @p def when the key is missing.
    QString readString(const QString& section, const QString& key, const QString& def = {}) const;
    /// Decimal, or hexadecimal after "0x"/"0X"; @p def when missing or unreadable.
    qint64 readInteger(const QString& section, const QString& key, qint64 def) const;
    /// An integer; any non-zero value is true.
    bool readBool(const QString& section, const QString& key, bool def) const;

    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, qint64 value);
    void writeBool(const QString& section, const QString& key, bool value);
    void eraseSection(const QString& section);
    void deleteKey(const QString& section, const QString& key);

    /// Keys "0", "1", ... up to the first missing or empty one, at most @p limit of them; "$"
    /// reads as an empty entry. One pass over the section, however long it is.
    QStringList readList(const QString& section, qsizetype limit = 1 << 20) const;
    /// Erases @p section and writes @p entries as "0", "1", ...; empty entries become "$".
    void writeList(const QString& section, const QStringList& entries);

    /// The font group @p base; @p def unchanged when base.name is missing.
    FontSetting readFont(const QString& section, const QString& base, const FontSetting& def) const;
    void writeFont(const QString& section, const QString& base, const FontSetting& font);

    /// The position of window @p name; nullopt when its "left" or "top" key is missing.
    std::optional<WindowPosition> readWindowPosition(const QString& section,
                                                     const QString& name) const;
    void writeWindowPosition(const QString& section, const QString& name,
                             const WindowPosition& pos);

    /// Parses an integer the way readInteger() does.
    static std::optional<qint64> parseInteger(const QString& text);

private:
    struct Line {
        QString key;    // empty for a comment or other line kept as it was
        QString value;  // or the whole raw line
    };
    struct Section {
        QString name;
        QList<Line> lines;
    };

    const Section* findSection(const QString& name) const;
    Section& sectionFor(const QString& name);
    static const Line* findLine(const Section& s, const QString& key);

    QList<Section> sections_;  // a section with an empty name holds lines before any header
};

}  // namespace ombrix

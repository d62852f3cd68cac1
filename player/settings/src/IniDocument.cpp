#include "ombrix/settings/IniDocument.h"

#include <QFileInfo>
#include <QHash>

#include "ombrix/settings/TextFile.h"

namespace ombrix {
namespace {

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

}  // namespace

IniDocument IniDocument::parse(const QStringList& lines) {
    IniDocument doc;
    doc.sections_.append(Section{});
    for (const QString& raw : lines) {
        const QString t = raw.trimmed();
        if (t.isEmpty()) continue;
        if (t.startsWith(QLatin1Char('['))) {
            const qsizetype close = t.indexOf(QLatin1Char(']'));
            const QString name = t.mid(1, close < 0 ? -1 : close - 1).trimmed();
            doc.sections_.append(Section{name, {}});
            continue;
        }
        const qsizetype eq = t.indexOf(QLatin1Char('='));
        if (eq <= 0 || t.startsWith(QLatin1Char(';'))) {
            doc.sections_.last().lines.append(Line{QString(), raw});
            continue;
        }
        doc.sections_.last().lines.append(Line{t.left(eq).trimmed(), t.mid(eq + 1).trimmed()});
    }
    if (doc.sections_.first().lines.isEmpty()) doc.sections_.removeFirst();
    return doc;
}

IniDocument IniDocument::parseText(const QByteArray& bytes) {
    if (bytes.size() > kMaxFileSize) throw FileError("too large for a settings file");
    if (bytes.contains('\0')) throw FileError("not a text file");
    const QList<QByteArray> lines = TextFile::splitLines(bytes);
    QStringList text;
    text.reserve(lines.size());
    for (const QByteArray& l : lines) {
        if (l.size() > kMaxLineLength) throw FileError("a line is too long for a settings file");
        text.append(TextFile::decodeLine(l));
    }
    return parse(text);
}

IniDocument IniDocument::read(const QString& path) {
    const QFileInfo fi(path);
    if (!fi.exists() && !fi.isSymLink()) return {};
    // A FIFO or device must not block or feed the program; a folder is no settings file.
    if (!fi.isFile()) throw FileError(path.toStdString() + ": not a regular file");
    if (fi.size() > kMaxFileSize) throw FileError(path.toStdString() + ": too large");
    try {
        return parseText(TextFile::readAll(path));
    } catch (const FileError& e) {
        throw FileError(path.toStdString() + ": " + e.what());
    }
}

IniDocument IniDocument::load(const QString& path) {
    try {
        return read(path);
    } catch (const FileError&) {
        return {};
    }
}

QStringList IniDocument::toLines() const {
    QStringList out;
    bool first = true;
    for (const Section& s : sections_) {
        if (!s.name.isEmpty() || !first) {
            if (!first) out.append(QString());
            out.append(QLatin1Char('[') + s.name + QLatin1Char(']'));
        }
        first = false;
        for (const Line& l : s.lines)
            out.append(l.key.isEmpty() ? l.value : l.key + QLatin1Char('=') + l.value);
    }
    return out;
}

void IniDocument::save(const QString& path) const {
    TextFile::writeLines(path, toLines());
}

QStringList IniDocument::sectionNames() const {
    QStringList names;
    for (const Section& s : sections_)
        if (!s.name.isEmpty()) names.append(s.name);
    return names;
}

const IniDocument::Section* IniDocument::findSection(const QString& name) const {
    for (const Section& s : sections_)
        if (!s.name.isEmpty() && sameName(s.name, name)) return &s;
    return nullptr;
}

IniDocument::Section& IniDocument::sectionFor(const QString& name) {
    for (Section& s : sections_)
        if (!s.name.isEmpty() && sameName(s.name, name)) return s;
    sections_.append(Section{name, {}});
    return sections_.last();
}

const IniDocument::Line* IniDocument::findLine(const Section& s, const QString& key) {
    for (const Line& l : s.lines)
        if (!l.key.isEmpty() && sameName(l.key, key)) return &l;
    return nullptr;
}

bool IniDocument::hasSection(const QString& section) const {
    return findSection(section);
}

bool IniDocument::hasKey(const QString& section, const QString& key) const {
    return value(section, key).has_value();
}

QStringList IniDocument::keys(const QString& section) const {
    QStringList out;
    if (const Section* s = findSection(section))
        for (const Line& l : s->lines)
            if (!l.key.isEmpty()) out.append(l.key);
    return out;
}

std::optional<QString> IniDocument::value(const QString& section, const QString& key) const {
    const Section* s = findSection(section);
    if (!s) return std::nullopt;
    const Line* l = findLine(*s, key);
    if (!l) return std::nullopt;
    return l->value;
}

QString IniDocument::readString(const QString& section, const QString& key,
                                const QString& def) const {
    const auto v = value(section, key);
    return v ? v->left(kMaxStringLength) : def;
}

std::optional<qint64> IniDocument::parseInteger(const QString& text) {
    const QString t = text.trimmed();
    bool ok = false;
    qint64 v = 0;
    if (t.size() > 2 && (t.startsWith(QLatin1String("0x")) || t.startsWith(QLatin1String("0X")))) {
        const quint64 u = t.mid(2).toULongLong(&ok, 16);
        v = qint64(u);
    } else {
        v = t.toLongLong(&ok, 10);
    }
    if (!ok) return std::nullopt;
    return v;
}

qint64 IniDocument::readInteger(const QString& section, const QString& key, qint64 def) const {
    const auto v = value(section, key);
    if (!v) return def;
    return parseInteger(*v).value_or(def);
}

bool IniDocument::readBool(const QString& section, const QString& key, bool def) const {
    return readInteger(section, key, def ? 1 : 0) != 0;
}

void IniDocument::writeString(const QString& section, const QString& key, const QString& value) {
    // A line break inside a value would split it into two lines on the next read.
    QString v = value;
    v.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    Section& s = sectionFor(section);
    for (Line& l : s.lines) {
        if (!l.key.isEmpty() && sameName(l.key, key)) {
            l.value = v;
            return;
        }
    }
    s.lines.append(Line{key, v});
}

void IniDocument::writeInteger(const QString& section, const QString& key, qint64 value) {
    writeString(section, key, QString::number(value));
}

void IniDocument::writeBool(const QString& section, const QString& key, bool value) {
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void IniDocument::eraseSection(const QString& section) {
    sections_.removeIf(
        [&](const Section& s) { return !s.name.isEmpty() && sameName(s.name, section); });
}

void IniDocument::deleteKey(const QString& section, const QString& key) {
    for (Section& s : sections_)
        if (!s.name.isEmpty() && sameName(s.name, section))
            s.lines.removeIf(
                [&](const Line& l) { return !l.key.isEmpty() && sameName(l.key, key); });
}

QStringList IniDocument::readList(const QString& section, qsizetype limit) const {
    QStringList out;
    const Section* s = findSection(section);
    if (!s || limit <= 0) return out;
    // The numbered keys by number, the first of each (as a single key is read).
    QHash<qsizetype, QString> numbered;
    for (const Line& l : s->lines) {
        bool ok = false;
        const qsizetype n = l.key.toLongLong(&ok);
        if (ok && n >= 0 && n < limit && l.key == QString::number(n) && !numbered.contains(n))
            numbered.insert(n, l.value.left(kMaxStringLength));
    }
    for (qsizetype i = 0; i < limit; ++i) {
        const auto it = numbered.constFind(i);
        if (it == numbered.constEnd() || it->isEmpty()) break;
        out.append(*it == QLatin1String("$") ? QString() : *it);
    }
    return out;
}

void IniDocument::writeList(const QString& section, const QStringList& entries) {
    eraseSection(section);
    Section& s = sectionFor(section);  // an empty list still leaves an empty section
    Q_UNUSED(s);
    for (qsizetype i = 0; i < entries.size(); ++i)
        writeString(section, QString::number(i),
                    entries[i].isEmpty() ? QStringLiteral("$") : entries[i]);
}

FontSetting IniDocument::readFont(const QString& section, const QString& base,
                                  const FontSetting& def) const {
    const auto name = value(section, base + QLatin1String(".name"));
    if (!name) return def;
    FontSetting f;
    f.name = name->left(kMaxStringLength);
    f.color = qint32(readInteger(section, base + QLatin1String(".color"), 0));
    f.size = int(readInteger(section, base + QLatin1String(".size"), 10));
    f.style = int(readInteger(section, base + QLatin1String(".style"), 0));
    return f;
}

void IniDocument::writeFont(const QString& section, const QString& base, const FontSetting& font) {
    writeString(section, base + QLatin1String(".name"), font.name);
    writeInteger(section, base + QLatin1String(".color"), font.color);
    writeInteger(section, base + QLatin1String(".size"), font.size);
    writeInteger(section, base + QLatin1String(".style"), font.style);
}

std::optional<WindowPosition> IniDocument::readWindowPosition(const QString& section,
                                                              const QString& name) const {
    const auto left = value(section, name + QLatin1String("left"));
    const auto top = value(section, name + QLatin1String("top"));
    if (!left || !top) return std::nullopt;
    WindowPosition p;
    p.left = int(parseInteger(*left).value_or(0));
    p.top = int(parseInteger(*top).value_or(0));
    if (const auto w = value(section, name + QLatin1String("width")))
        if (const auto n = parseInteger(*w)) p.width = int(*n);
    if (const auto h = value(section, name + QLatin1String("height")))
        if (const auto n = parseInteger(*h)) p.height = int(*n);
    return p;
}

void IniDocument::writeWindowPosition(const QString& section, const QString& name,
                                      const WindowPosition& pos) {
    writeInteger(section, name + QLatin1String("left"), pos.left);
    writeInteger(section, name + QLatin1String("top"), pos.top);
    if (pos.width) writeInteger(section, name + QLatin1String("width"), *pos.width);
    if (pos.height) writeInteger(section, name + QLatin1String("height"), *pos.height);
}

}  // namespace ombrix

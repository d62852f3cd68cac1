#include "ombrix/desktop/MimeAppsList.h"

namespace ombrix {

MimeAppsList MimeAppsList::parse(const QByteArray& text) {
    MimeAppsList out;
    if (text.isEmpty()) return out;
    QList<QByteArray> raw = text.split('\n');
    out.finalNewline_ = text.endsWith('\n');
    if (out.finalNewline_) raw.removeLast();
    QString group;
    int number = 0;
    for (const QByteArray& bytes : raw) {
        ++number;
        Line line{bytes, group, {}, false};
        const QByteArray t = bytes.trimmed();
        if (t.isEmpty() || t.startsWith('#')) {
            out.lines_.append(line);
            continue;
        }
        if (t.startsWith('[')) {
            if (!t.endsWith(']') || t.size() < 3)
                throw KeyFileSyntaxError("line " + std::to_string(number) + ": bad group header");
            group = QString::fromUtf8(t.mid(1, t.size() - 2));
            line.group = group;
            line.header = true;
            out.lines_.append(line);
            continue;
        }
        const int eq = t.indexOf('=');
        if (eq <= 0 || group.isEmpty())
            throw KeyFileSyntaxError(
                "line " + std::to_string(number) +
                (group.isEmpty() ? ": a key before any group" : ": neither a group nor key=value"));
        line.key = QString::fromUtf8(t.left(eq).trimmed());
        out.lines_.append(line);
    }
    return out;
}

int MimeAppsList::find(const QString& group, const QString& key) const {
    for (int i = 0; i < lines_.size(); ++i)
        if (!lines_[i].header && lines_[i].group == group && lines_[i].key == key) return i;
    return -1;
}

QString MimeAppsList::value(const QString& group, const QString& key) const {
    const int i = find(group, key);
    if (i < 0) return {};
    QByteArray b = lines_[i].bytes;
    if (b.endsWith('\r')) b.chop(1);
    return QString::fromUtf8(b.mid(b.indexOf('=') + 1).trimmed());
}

bool MimeAppsList::contains(const QString& group, const QString& key) const {
    return find(group, key) >= 0;
}

QStringList MimeAppsList::list(const QString& group, const QString& key) const {
    QStringList out;
    for (const QString& item : value(group, key).split(QLatin1Char(';'), Qt::SkipEmptyParts))
        if (!item.trimmed().isEmpty()) out << item.trimmed();
    return out;
}

void MimeAppsList::setValue(const QString& group, const QString& key, const QString& value) {
    const QByteArray bytes = (key + QLatin1Char('=') + value).toUtf8();
    if (const int i = find(group, key); i >= 0) {
        const bool cr = lines_[i].bytes.endsWith('\r');
        lines_[i].bytes = cr ? bytes + '\r' : bytes;
        return;
    }
    int last = -1;  // the group's header or its last key
    for (int i = 0; i < lines_.size(); ++i)
        if (lines_[i].group == group && (lines_[i].header || !lines_[i].key.isEmpty())) last = i;
    if (last < 0) {
        if (!lines_.isEmpty() && !lines_.last().bytes.trimmed().isEmpty())
            lines_.append(Line{{}, lines_.last().group, {}, false});
        lines_.append(Line{('[' + group + ']').toUtf8(), group, {}, true});
        last = int(lines_.size()) - 1;
    }
    lines_.insert(last + 1, Line{bytes, group, key, false});
}

void MimeAppsList::setList(const QString& group, const QString& key, const QStringList& items) {
    QString v;
    for (const QString& item : items) v += item + QLatin1Char(';');
    setValue(group, key, v);
}

void MimeAppsList::removeGroup(const QString& group) {
    lines_.removeIf([&](const Line& l) { return l.group == group; });
}

QByteArray MimeAppsList::text() const {
    QByteArray out;
    for (int i = 0; i < lines_.size(); ++i) {
        out += lines_[i].bytes;
        if (i + 1 < lines_.size() || finalNewline_) out += '\n';
    }
    return out;
}

}  // namespace ombrix

#include "ombrix/settings/TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <algorithm>

namespace ombrix {

QList<QByteArray> TextFile::splitLines(const QByteArray& bytes) {
    QList<QByteArray> lines;
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n') continue;
        lines.append(bytes.mid(start, i - start));
        if (c == '\r' && i + 1 < n && bytes[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < n) lines.append(bytes.mid(start));
    return lines;
}

QString TextFile::decodeLine(const QByteArray& line) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(line);
    if (utf8.hasError()) return QString::fromLatin1(line);
    if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);  // byte-order mark
    return text;
}

QStringList TextFile::decodeLines(const QByteArray& bytes) {
    QStringList out;
    const QList<QByteArray> lines = splitLines(bytes);
    out.reserve(lines.size());
    for (const QByteArray& l : lines) out.append(decodeLine(l));
    return out;
}

QByteArray TextFile::encodeLines(const QStringList& lines) {
    QByteArray out;
    for (const QString& l : lines) {
        out += l.toUtf8();
        out += "\r\n";
    }
    return out;
}

QByteArray TextFile::readAll(const QString& path, qint64 limit) {
    // Checked before opening: opening a pipe for reading waits for a writer.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        throw FileError("cannot read " + path.toStdString() + ": not a regular file");
    if (info.size() > limit) throw FileError("cannot read " + path.toStdString() + ": too large");
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw FileError("cannot open " + path.toStdString() + ": " + f.errorString().toStdString());
    // Read up to one byte past the limit, so that a file that grew after the check is caught
    // too; the buffer grows with what arrives (QIODevice::read(n) would reserve n bytes, the
    // whole limit, for every small file).
    QByteArray bytes;
    qint64 want = std::min(info.size(), limit) + 1;
    while (want > 0) {
        const qsizetype have = bytes.size();
        bytes.resize(have + qsizetype(want));
        const qint64 got = f.read(bytes.data() + have, want);
        bytes.resize(have + qsizetype(std::max<qint64>(got, 0)));
        if (got < want) break;  // the end of the file, or an error (checked below)
        want = std::min<qint64>(limit + 1 - bytes.size(), qint64{1} << 20);
    }
    if (f.error() != QFileDevice::NoError)
        throw FileError("cannot read " + path.toStdString() + ": " + f.errorString().toStdString());
    if (bytes.size() > limit) throw FileError("cannot read " + path.toStdString() + ": too large");
    return bytes;
}

QStringList TextFile::readLines(const QString& path) {
    return decodeLines(readAll(path));
}

void TextFile::writeAtomic(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
        throw FileError("cannot write " + path.toStdString() + ": " +
                        f.errorString().toStdString());
}

void TextFile::writeLines(const QString& path, const QStringList& lines) {
    writeAtomic(path, encodeLines(lines));
}

}  // namespace ombrix

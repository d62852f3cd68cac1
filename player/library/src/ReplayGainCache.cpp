#include "ombrix/library/ReplayGainCache.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <cmath>
#include <filesystem>

#include "ombrix/probe/RegularFile.h"
#include "ombrix/settings/TextFile.h"

namespace ombrix {
namespace {

const QString kHeader = QStringLiteral("ombrix loudness cache 1");
const QString kFailed = QStringLiteral("failed");
constexpr QChar kTab = QLatin1Char('\t');
// Each line is short; a larger file was not written by this program.
constexpr qint64 kLargestFile = qint64{64} << 20;

// "size<TAB>time<TAB>gain<TAB>peak<TAB>path", gain "failed" for a file that could not be
// measured; the path last, so that it may hold anything but a line break.
std::optional<std::pair<ReplayGainCache::Key, ReplayGainCache::Entry>> parseLine(
    const QString& line) {
    QStringList parts;
    qsizetype from = 0;
    for (int i = 0; i < 4; ++i) {
        const qsizetype tab = line.indexOf(kTab, from);
        if (tab < 0) return std::nullopt;
        parts << line.mid(from, tab - from);
        from = tab + 1;
    }
    ReplayGainCache::Key key;
    key.path = line.mid(from);
    bool sizeOk = false, timeOk = false;
    key.size = parts[0].toLongLong(&sizeOk);
    key.modifiedMs = parts[1].toLongLong(&timeOk);
    if (!sizeOk || !timeOk || key.size < 0 || key.path.isEmpty() || !QFileInfo(key.path).isAbsolute())
        return std::nullopt;
    ReplayGainCache::Entry entry;
    if (parts[2] == kFailed) {
        entry.failed = true;
    } else {
        bool gainOk = false, peakOk = false;
        entry.gainDb = parts[2].toDouble(&gainOk);
        entry.peak = parts[3].toDouble(&peakOk);
        if (!gainOk || !peakOk || !std::isfinite(entry.gainDb) || !std::isfinite(entry.peak) ||
            std::abs(entry.gainDb) > 100.0 || entry.peak < 0.0 || entry.peak > 100.0)
            return std::nullopt;
    }
    return std::pair{key, entry};
}

}  // namespace

std::optional<ReplayGainCache::Key> ReplayGainCache::keyOf(const QString& file) {
    const QFileInfo info(file);
    if (!probe::RegularFile::is(std::filesystem::path(QFile::encodeName(file).toStdString())))
        return std::nullopt;
    Key key;
    key.path = info.absoluteFilePath();
    key.size = info.size();
    key.modifiedMs = info.lastModified().toMSecsSinceEpoch();
    return key;
}

void ReplayGainCache::load() {
    QStringList lines;
    try {
        if (QFileInfo::exists(file_))
            lines = TextFile::decodeLines(TextFile::readAll(file_, kLargestFile));
    } catch (const FileError&) {
        lines.clear();  // an unreadable cache is only measured again
    }
    std::lock_guard lock(mutex_);
    records_.clear();
    order_.clear();
    if (!lines.isEmpty() && lines.first() == kHeader) {
        for (qsizetype i = 1; i < lines.size(); ++i)
            if (const auto parsed = parseLine(lines.at(i)))
                storeLocked(parsed->first, parsed->second);
    }
    dirty_ = false;
}

bool ReplayGainCache::save() {
    QStringList lines{kHeader};
    {
        std::lock_guard lock(mutex_);
        lines.reserve(qsizetype(order_.size()) + 1);
        for (const auto& [serial, path] : order_) {
            // A line break in a name would split its line: such a file is only measured again.
            if (path.contains(QLatin1Char('\n')) || path.contains(QLatin1Char('\r'))) continue;
            const Record& r = records_.value(path);
            const QString values =
                r.entry.failed ? kFailed + kTab + QLatin1Char('0')
                               : QString::number(r.entry.gainDb, 'f', 2) + kTab +
                                     QString::number(r.entry.peak, 'f', 6);
            lines << QString::number(r.size) + kTab + QString::number(r.modifiedMs) + kTab +
                         values + kTab + path;
        }
        dirty_ = false;
    }
    try {
        TextFile::writeLines(file_, lines);
        return true;
    } catch (const FileError&) {
        std::lock_guard lock(mutex_);
        dirty_ = true;
        return false;
    }
}

bool ReplayGainCache::dirty() const {
    std::lock_guard lock(mutex_);
    return dirty_;
}

std::optional<ReplayGainCache::Entry> ReplayGainCache::find(const Key& key) const {
    std::lock_guard lock(mutex_);
    const auto it = records_.constFind(key.path);
    if (it == records_.cend() || it->size != key.size || it->modifiedMs != key.modifiedMs)
        return std::nullopt;
    return it->entry;
}

void ReplayGainCache::store(const Key& key, const Entry& entry) {
    std::lock_guard lock(mutex_);
    storeLocked(key, entry);
    dirty_ = true;
}

void ReplayGainCache::storeLocked(const Key& key, const Entry& entry) {
    if (const auto it = records_.constFind(key.path); it != records_.cend())
        order_.erase(it->serial);
    const quint64 serial = nextSerial_++;
    records_.insert(key.path, Record{key.size, key.modifiedMs, entry, serial});
    order_.emplace(serial, key.path);
    while (order_.size() > size_t(kMaxEntries)) {
        records_.remove(order_.begin()->second);
        order_.erase(order_.begin());
    }
}

int ReplayGainCache::size() const {
    std::lock_guard lock(mutex_);
    return int(records_.size());
}

}  // namespace ombrix

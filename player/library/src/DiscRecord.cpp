#include "ombrix/library/DiscRecord.h"

#include <discid/discid.h>

#include <memory>

#include "ombrix/media/CdDisc.h"

namespace ombrix {

namespace {

int digitSum(qint64 v) {
    int sum = 0;
    for (; v > 0; v /= 10) sum += int(v % 10);
    return sum;
}

qint64 sectorsToMs(qint64 sectors) {
    return sectors * 1000 / DiscRecord::kSectorsPerSecond;
}

}  // namespace

const QStringList& DiscRecord::categories() {
    static const QStringList list = {"2byte",  "blues",  "classical", "country",
                                     "data",   "folk",   "jazz",      "misc",
                                     "newage", "reggae", "rock",      "soundtrack"};
    return list;
}

DiscRecord::DiscRecord() {
    setHostName({});
}

void DiscRecord::setHostName(const QString& name) {
    hostName_ = name.isEmpty() ? QStringLiteral("unknown") : name;
}

void DiscRecord::readDisc(const CdDisc& disc) {
    QVector<qint32> first;
    QVector<qint32> counts;
    for (const CdTrack& t : disc.tracks()) {
        first.append(t.firstSector);
        counts.append(t.sectors);
    }
    readToc(first, counts);
}

void DiscRecord::readToc(const QVector<qint32>& firstSectors, const QVector<qint32>& sectorCounts) {
    const int n =
        int(std::min<qsizetype>(std::min(firstSectors.size(), sectorCounts.size()), kMaxTracks));
    offsets_.clear();
    for (int i = 0; i < n; ++i) offsets_.append(firstSectors[i] + kPregapSectors);
    const qint32 lastSectors = n > 0 ? sectorCounts[n - 1] : 0;
    leadOut_ = n > 0 ? offsets_.last() + lastSectors : 0;
    discId_ = idText(cddbId(offsets_, lastSectors));
    // The disc length counts whole seconds of the last track's end, as milliseconds are counted.
    discLength_ =
        n > 0 ? qint32((sectorsToMs(offsets_.last()) + sectorsToMs(lastSectors)) / 1000) : 0;
    setTrackCount(n);
    for (int i = 0; i < n; ++i) tracks_[i].lengthMs = qint32(sectorsToMs(sectorCounts[i]));
    tracksFromDisc_ = true;
}

quint32 DiscRecord::cddbId(const QVector<qint32>& offsets, qint32 lastSectors) {
    const qsizetype n = offsets.size();
    if (n == 0) return 0;
    int sum = 0;
    for (qint32 offset : offsets) sum += digitSum(offset / kSectorsPerSecond);
    // The end is one frame past the last track's last frame.
    const qint64 end = qint64(offsets.last()) + lastSectors + 1;
    const qint64 seconds = end / kSectorsPerSecond - offsets.first() / kSectorsPerSecond;
    return (quint32(sum % 255) << 24) | (quint32(seconds) << 8) | quint32(n);
}

QString DiscRecord::idText(quint32 id) {
    return QStringLiteral("%1").arg(id, 8, 16, QLatin1Char('0')).toLower();
}

QString DiscRecord::musicBrainzId() const {
    const int n = int(offsets_.size());
    if (n < 1 || n > kMaxTracks) return {};
    std::unique_ptr<DiscId, void (*)(DiscId*)> d(discid_new(), discid_free);
    if (!d) return {};
    int table[100] = {};
    table[0] = leadOut_;
    for (int i = 0; i < n; ++i) table[i + 1] = offsets_[i];
    if (!discid_put(d.get(), 1, n, table)) return {};
    return QString::fromLatin1(discid_get_id(d.get()));
}

void DiscRecord::setTrackCount(int n) {
    tracks_.clear();
    n = std::clamp(n, 0, kMaxTracks);
    tracks_.resize(n);
    for (int i = 0; i < n; ++i) {
        tracks_[i].playOrder = i + 1;
        tracks_[i].title = defaultTrackTitle(i);
    }
}

void DiscRecord::setPlayOrder(int index, int order) {
    if (index < 0 || index >= trackCount()) return;
    const int old = tracks_[index].playOrder;
    for (DiscTrack& t : tracks_)
        if (t.playOrder == order) t.playOrder = old;
    tracks_[index].playOrder = order;
}

void DiscRecord::applyDefaults() {
    discTitle_ = kDefaultTitle;
    category_ = kDefaultCategory;
    for (int i = 0; i < trackCount(); ++i) {
        tracks_[i].title = defaultTrackTitle(i);
        tracks_[i].extended.clear();
        tracks_[i].playOrder = i + 1;
    }
}

bool DiscRecord::isComplete() const {
    for (int i = 0; i < trackCount(); ++i)
        if (tracks_[i].title == defaultTrackTitle(i)) return false;
    return true;
}

QByteArray DiscRecord::xmcdText() const {
    QStringList lines = {"# xmcd", "#", "# Track frame offsets:"};
    for (int i = 0; i < trackCount(); ++i)
        lines.append(QStringLiteral("# %1").arg(i < offsets_.size() ? offsets_[i] : 0));
    lines << "#" << QStringLiteral("# Disc length: %1 seconds").arg(discLength_) << "#"
          << "# Revision: 3"
          << "# Processed by Tessik CDDB client"
          << "#" << QStringLiteral("DISCID=") + discId_ << QStringLiteral("DTITLE=") + discTitle_;
    for (int i = 0; i < trackCount(); ++i)
        lines.append(QStringLiteral("TTITLE%1=%2").arg(i).arg(tracks_[i].title));
    for (int i = 0; i < trackCount(); ++i)
        lines.append(QStringLiteral("EXTT%1=%2").arg(i).arg(tracks_[i].extended));
    lines << "PLAYORDER="
          << ".";
    QByteArray out;
    for (const QString& l : lines) {
        // Protocol level 1 is Latin-1; text beyond it goes as UTF-8 rather than as question marks.
        bool latin = true;
        for (QChar c : l)
            if (c.unicode() > 0xff) latin = false;
        out += latin ? l.toLatin1() : l.toUtf8();
        out += "\r\n";
    }
    return out;
}

QString DiscRecord::trackTitle(int track) const {
    return track >= 1 && track <= trackCount() ? tracks_[track - 1].title : QString();
}

QString DiscRecord::trackExtended(int track) const {
    return track >= 1 && track <= trackCount() ? tracks_[track - 1].extended : QString();
}

qint32 DiscRecord::trackLengthMs(int track) const {
    return track >= 1 && track <= trackCount() ? tracks_[track - 1].lengthMs : 0;
}

}  // namespace ombrix

#include "ombrix/library/DiscDatabase.h"

#include "ombrix/library/DiscRecord.h"
#include "ombrix/settings/IniDocument.h"
#include "ombrix/settings/TextFile.h"

namespace ombrix {

namespace {

QString key(const char* name, int i) {
    return QString::fromLatin1(name) + QString::number(i);
}

}  // namespace

QList<int> DiscDatabase::parsePlayOrder(const QString& value, int tracks) {
    QList<int> out;
    for (int i = 0; i < tracks; ++i) {
        bool ok = false;
        const int order = value.mid(2 * i, 2).toInt(&ok, 16);
        out.append(ok && value.mid(2 * i, 2).size() == 2 ? order : 0);
    }
    return out;
}

bool DiscDatabase::loadFrom(const IniDocument& doc, DiscRecord& record, const QString& discId) {
    record.setDiscId(discId);
    const qint64 stored = doc.readInteger(discId, "ntracks", 0);
    if (stored <= 0) {
        record.applyDefaults();
        return false;
    }
    const int n = int(std::min<qint64>(stored, DiscRecord::kMaxTracks));
    if (!record.tracksFromDisc()) {
        record.setTrackCount(n);
        for (int i = 0; i < n; ++i)
            record.trackAt(i).lengthMs = qint32(doc.readInteger(discId, key("MSEC", i), 0));
    } else {
        record.setTracksFromDisc(false);
    }
    record.setDiscLengthSeconds(qint32(doc.readInteger(discId, "DISCLENGTH", 0)));
    record.setDiscTitle(doc.readString(discId, "DTITLE", DiscRecord::kDefaultTitle));
    record.setCategory(doc.readString(discId, "GENRE", DiscRecord::kDefaultCategory));
    // A record kept for a disc whose track count differs names only the tracks both know.
    const int known = std::min(n, record.trackCount());
    QVector<qint32> offsets = record.frameOffsets();
    offsets.resize(std::max<qsizetype>(offsets.size(), known));
    for (int i = 0; i < known; ++i) {
        DiscTrack& t = record.trackAt(i);
        t.title = doc.readString(discId, key("TTITLE", i), DiscRecord::defaultTrackTitle(i));
        t.extended = doc.readString(discId, key("EXTT", i));
        if (doc.hasKey(discId, key("FRAME", i)))
            offsets[i] = qint32(doc.readInteger(discId, key("FRAME", i), 0));
    }
    record.setFrameOffsets(offsets);
    record.setOnServer(doc.readBool(discId, "ONSERVER", false));
    const QString order = doc.readString(discId, "PLAYORDER");
    if (!order.isEmpty()) {
        const QList<int> orders = parsePlayOrder(order, record.trackCount());
        for (int i = 0; i < record.trackCount(); ++i) record.trackAt(i).playOrder = orders[i];
    }
    return true;
}

void DiscDatabase::storeInto(IniDocument& doc, const DiscRecord& record) {
    const QString s = record.discId();
    doc.eraseSection(s);
    doc.writeInteger(s, "ntracks", record.trackCount());
    doc.writeString(s, "DTITLE", record.discTitle());
    doc.writeInteger(s, "DISCLENGTH", record.discLengthSeconds());
    doc.writeString(s, "GENRE", record.category());
    QString order;
    for (int i = 0; i < record.trackCount(); ++i) {
        const DiscTrack& t = record.trackAt(i);
        doc.writeString(s, key("TTITLE", i), t.title);
        doc.writeString(s, key("EXTT", i), t.extended);
        doc.writeInteger(s, key("FRAME", i),
                         i < record.frameOffsets().size() ? record.frameOffsets()[i] : 0);
        order += QStringLiteral("%1").arg(t.playOrder & 0xff, 2, 16, QLatin1Char('0')).toUpper();
    }
    doc.writeString(s, "PLAYORDER", order);
    doc.writeBool(s, "ONSERVER", record.onServer());
}

bool DiscDatabase::load(DiscRecord& record, const QString& discId) const {
    return loadFrom(IniDocument::load(path_), record, discId);
}

bool DiscDatabase::save(const DiscRecord& record) const {
    if (record.discId().isEmpty()) return false;
    try {
        IniDocument doc = IniDocument::read(path_);  // throws rather than lose a damaged file
        storeInto(doc, record);
        doc.save(path_);
        return true;
    } catch (const FileError&) {
        return false;
    }
}

QStringList DiscDatabase::discIds() const {
    QStringList out;
    for (const QString& id : IniDocument::load(path_).sectionNames())
        if (!id.isEmpty() && !out.contains(id, Qt::CaseInsensitive)) out.append(id);
    return out;
}

}  // namespace ombrix

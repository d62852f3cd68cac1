#include "CdTrackSource.h"

#include <QFileInfo>
#include <QRegularExpression>

#include "ombrix/media/MediaControl.h"

namespace ombrix {

CdTrackSource::CdTrackSource(const QString& entry) {
    // "<drive>/track07.cda": the drive is everything before the last slash.
    static const QRegularExpression name(QStringLiteral("^track(\\d{1,2})\\.cda$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const qsizetype slash = entry.lastIndexOf(QLatin1Char('/'));
    const QRegularExpressionMatch m = name.match(entry.mid(slash + 1));
    if (slash <= 0 || !m.hasMatch()) throw CdTrackMissing("no such track on the disc");
    const int track = m.captured(1).toInt();
    try {
        const std::unique_ptr<CdDisc> disc = CdDisc::open(entry.left(slash));
        const CdTrack* t = disc->track(track);
        if (!t || !t->audio) throw CdTrackMissing("no such track on the disc");
        reader_ = disc->readTrack(track);
    } catch (const CdError& e) {
        throw MediaError(e.what());
    }
}

}  // namespace ombrix

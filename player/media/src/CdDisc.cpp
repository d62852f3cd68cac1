#include "ombrix/media/CdDisc.h"

#include <cdio/cdio.h>
#include <cdio/cdtext.h>
#include <cdio/logging.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <algorithm>
#include <cstring>

namespace ombrix {

namespace {

const char* const kNotReady = "cd not ready";

// A paranoia read of a bad sector is retried this often before it is skipped: long enough to
// get past dust, short enough that a deep scratch does not hold the song for minutes.
constexpr int kParanoiaRetries = 20;

bool isImage(const QString& drive) {
    const QString lower = drive.toLower();
    for (const char* ext : {".cue", ".bin", ".toc", ".nrg"})
        if (lower.endsWith(QLatin1String(ext))) return true;
    return false;
}

// libcdio writes its complaints to stderr by default; a player has its own status line.
void quietLog(cdio_log_level_t, const char*) {}

CdIo_t* openCdio(const QString& drive) {
    static const bool quiet = [] {
        cdio_log_set_handler(&quietLog);
        return true;
    }();
    static_cast<void>(quiet);
    const QByteArray name = QFile::encodeName(drive);
    if (isImage(drive) && !QFileInfo(drive).isFile()) return nullptr;
    return cdio_open(name.constData(), DRIVER_UNKNOWN);
}

struct CdioCloser {
    void operator()(CdIo_t* p) const noexcept { cdio_destroy(p); }
};
using CdioHandle = std::unique_ptr<CdIo_t, CdioCloser>;

QString cdTextField(const cdtext_t* text, cdtext_field_t field, track_t track) {
    const char* value = cdtext_get_const(text, field, track);
    return value ? QString::fromUtf8(value).trimmed() : QString();
}

}  // namespace

bool CdText::empty() const noexcept {
    if (!albumTitle.isEmpty() || !albumPerformer.isEmpty()) return false;
    return std::all_of(trackTitles.begin(), trackTitles.end(),
                       [](const QString& t) { return t.isEmpty(); });
}

std::unique_ptr<CdDisc> CdDisc::open(const QString& drive) {
    CdioHandle cdio(openCdio(drive));
    if (!cdio) throw CdError(kNotReady);
    const track_t first = cdio_get_first_track_num(cdio.get());
    const track_t count = cdio_get_num_tracks(cdio.get());
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0)
        throw CdError(kNotReady);

    std::unique_ptr<CdDisc> disc(new CdDisc);
    disc->drive_ = drive;
    for (track_t t = first; t < first + count; ++t) {
        const lsn_t start = cdio_get_track_lsn(cdio.get(), t);
        const lsn_t last = cdio_get_track_last_lsn(cdio.get(), t);
        if (start == CDIO_INVALID_LSN || last == CDIO_INVALID_LSN || last < start) continue;
        CdTrack track;
        track.number = t;
        track.firstSector = start;
        track.sectors = last - start + 1;
        track.audio = cdio_get_track_format(cdio.get(), t) == TRACK_FORMAT_AUDIO;
        disc->tracks_.push_back(track);
    }
    const lsn_t leadOut = cdio_get_disc_last_lsn(cdio.get());
    disc->leadOut_ = leadOut == CDIO_INVALID_LSN ? 0 : leadOut;
    // Only a disc that begins with music is an audio disc; a data disc (and a disc image of
    // one) is refused before any track is read.
    if (disc->tracks_.empty() || disc->tracks_.front().number != first ||
        !disc->tracks_.front().audio)
        throw CdError(kNotReady);

    if (const cdtext_t* text = cdio_get_cdtext(cdio.get())) {
        CdText& out = disc->cdText_;
        out.albumTitle = cdTextField(text, CDTEXT_FIELD_TITLE, 0);
        out.albumPerformer = cdTextField(text, CDTEXT_FIELD_PERFORMER, 0);
        for (const CdTrack& track : disc->tracks_) {
            const auto t = static_cast<track_t>(track.number);
            out.trackTitles << cdTextField(text, CDTEXT_FIELD_TITLE, t);
            out.trackPerformers << cdTextField(text, CDTEXT_FIELD_PERFORMER, t);
        }
    }
    return disc;
}

CdDisc::~CdDisc() = default;

const CdTrack* CdDisc::track(int number) const noexcept {
    for (const CdTrack& t : tracks_)
        if (t.number == number) return &t;
    return nullptr;
}

// The drive as a reader sees it: libcdio's handle and, for a real drive, cdparanoia on it.
struct CdTrackReader::Device {
    CdioHandle cdio;
    cdrom_drive_t* drive = nullptr;
    cdrom_paranoia_t* paranoia = nullptr;

    ~Device() {
        if (paranoia) cdio_paranoia_free(paranoia);
        if (drive) cdio_cddap_close_no_free_cdio(drive);
    }
};

std::unique_ptr<CdTrackReader> CdDisc::readTrack(int number) const {
    const CdTrack* t = track(number);
    if (!t || !t->audio) throw CdError("not an audio track");
    auto device = std::make_unique<CdTrackReader::Device>();
    device->cdio.reset(openCdio(drive_));
    if (!device->cdio) throw CdError(kNotReady);
    if (!isImage(drive_)) {
        // cdparanoia drives a real drive; an image has no errors to correct.
        device->drive =
            cdio_cddap_identify_cdio(device->cdio.get(), CDDA_MESSAGE_FORGETIT, nullptr);
        if (device->drive && cdio_cddap_open(device->drive) == 0) {
            device->paranoia = cdio_paranoia_init(device->drive);
            if (device->paranoia)
                cdio_paranoia_modeset(device->paranoia,
                                      PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
        }
    }
    auto reader = std::unique_ptr<CdTrackReader>(new CdTrackReader(std::move(device), *t));
    reader->seek(0);
    return reader;
}

CdTrackReader::CdTrackReader(std::unique_ptr<Device> device, const CdTrack& track)
    : device_(std::move(device)), track_(track) {
    sector_.resize(CdTrack::kFramesPerSector * 2);
    sectorPos_ = CdTrack::kFramesPerSector;
}

CdTrackReader::~CdTrackReader() = default;

bool CdTrackReader::seek(int64_t frame) noexcept {
    frame = std::clamp<int64_t>(frame, 0, totalFrames());
    nextSector_ = static_cast<int32_t>(frame / CdTrack::kFramesPerSector);
    if (device_->paranoia)
        cdio_paranoia_seek(device_->paranoia, track_.firstSector + nextSector_, SEEK_SET);
    const int within = static_cast<int>(frame % CdTrack::kFramesPerSector);
    if (within == 0) {
        sectorPos_ = CdTrack::kFramesPerSector;
        return true;
    }
    if (!fillSector()) return false;
    sectorPos_ = within;
    return true;
}

namespace {
// cdparanoia's callback has no context: the reader reading on this thread points it at its
// counter for the length of one read.
thread_local int* skipCounter = nullptr;
void paranoiaCallback(long, paranoia_cb_mode_t mode) {
    if (mode == PARANOIA_CB_SKIP && skipCounter) ++*skipCounter;
}
}  // namespace

bool CdTrackReader::fillSector() noexcept {
    if (nextSector_ >= track_.sectors) return false;
    const lsn_t lsn = track_.firstSector + nextSector_;
    if (device_->paranoia) {
        skipCounter = &skipped_;
        const int16_t* data =
            cdio_paranoia_read_limited(device_->paranoia, &paranoiaCallback, kParanoiaRetries);
        skipCounter = nullptr;
        if (!data) return false;
        std::memcpy(sector_.data(), data, CDIO_CD_FRAMESIZE_RAW);
    } else if (cdio_read_audio_sectors(device_->cdio.get(), sector_.data(), lsn, 1) !=
               DRIVER_OP_SUCCESS) {
        // A sector that cannot be read plays as silence, once the disc itself is still there.
        if (cdio_get_num_tracks(device_->cdio.get()) == CDIO_INVALID_TRACK) return false;
        std::fill(sector_.begin(), sector_.end(), int16_t{0});
        ++skipped_;
    }
    ++nextSector_;
    sectorPos_ = 0;
    return true;
}

int CdTrackReader::read(int16_t* frames, int count) noexcept {
    int done = 0;
    while (done < count) {
        if (sectorPos_ >= CdTrack::kFramesPerSector) {
            if (nextSector_ >= track_.sectors) break;
            if (!fillSector()) return done > 0 ? done : -1;
        }
        const int n = std::min(count - done, CdTrack::kFramesPerSector - sectorPos_);
        std::memcpy(frames + 2 * done, sector_.data() + 2 * sectorPos_,
                    static_cast<size_t>(n) * 2 * sizeof(int16_t));
        sectorPos_ += n;
        done += n;
    }
    return done;
}

QStringList listCdDrives() {
    QStringList drives;
    if (char** list = cdio_get_devices(DRIVER_DEVICE)) {
        for (char** d = list; *d; ++d) drives << QFile::decodeName(*d);
        cdio_free_device_list(list);
    }
    drives.removeDuplicates();
    return drives;
}

QString discRootFolder(const QString& drive, const QString& mountTable) {
    if (isImage(drive)) return QFileInfo(drive).absolutePath();
    const QString device = QFileInfo(drive).canonicalFilePath();
    QFile table(mountTable);
    if (device.isEmpty() || !table.open(QIODevice::ReadOnly)) return {};
    QTextStream in(&table);
    // Fields are separated by blanks; blanks within a path are written as "\040".
    const auto unescape = [](QString field) { return field.replace(QLatin1String("\\040"), " "); };
    for (int lines = 0; lines < 10000 && !in.atEnd(); ++lines) {
        const QStringList fields = in.readLine(4096).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (fields.size() < 2) continue;
        if (QFileInfo(unescape(fields[0])).canonicalFilePath() == device)
            return unescape(fields[1]);
    }
    return {};
}

}  // namespace ombrix

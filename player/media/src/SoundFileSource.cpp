#include "SoundFileSource.h"

#include <QFile>

#include "ombrix/media/MediaControl.h"

namespace ombrix {

SoundFileSource::SoundFileSource(const QString& file) {
    const QByteArray name = QFile::encodeName(file);
    file_.reset(sf_open(name.constData(), SFM_READ, &info_));
    if (!file_) throw MediaError("file is not accesible or corrupt");
    if (info_.frames <= 0 || info_.channels <= 0 || info_.samplerate <= 0)
        throw MediaError("no audio in the file");
    // Floating-point files that go past full scale are clipped rather than wrapped.
    sf_command(file_.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

int SoundFileSource::read(int16_t* frames, int count) noexcept {
    const sf_count_t got = sf_readf_short(file_.get(), frames, count);
    // A damaged or cut-off file ends where its readable audio ends.
    if (got <= 0) return sf_error(file_.get()) != SF_ERR_NO_ERROR && got < 0 ? -1 : 0;
    return static_cast<int>(got);
}

bool SoundFileSource::seek(int64_t frame) noexcept {
    return sf_seek(file_.get(), frame, SEEK_SET) >= 0;
}

}  // namespace ombrix

#include "SoundFileSource.h"

#include <QFile>

#include "RuntimeLibrary.h"
#include "ombrix/media/MediaControl.h"

namespace ombrix {

namespace {

// libsndfile and the codec libraries it brings are loaded with the first sound file.
struct SndfileApi {
    decltype(&::sf_open) sf_open = nullptr;
    decltype(&::sf_close) sf_close = nullptr;
    decltype(&::sf_command) sf_command = nullptr;
    decltype(&::sf_readf_short) sf_readf_short = nullptr;
    decltype(&::sf_error) sf_error = nullptr;
    decltype(&::sf_seek) sf_seek = nullptr;
    bool complete = false;

    static const SndfileApi& get() {
        static const SndfileApi api = load();
        return api;
    }

private:
    static SndfileApi load() {
        SndfileApi api;
        RuntimeLibrary lib{"libsndfile.so.1", "libsndfile.so"};
        lib.bind(api.sf_open, "sf_open");
        lib.bind(api.sf_close, "sf_close");
        lib.bind(api.sf_command, "sf_command");
        lib.bind(api.sf_readf_short, "sf_readf_short");
        lib.bind(api.sf_error, "sf_error");
        lib.bind(api.sf_seek, "sf_seek");
        api.complete = lib.complete();
        return api;
    }
};

// Only called once a file was opened through it, or to open one (which checks first).
const SndfileApi& sndfile() {
    return SndfileApi::get();
}

}  // namespace

void SoundFileSource::Closer::operator()(SNDFILE* f) const noexcept {
    sndfile().sf_close(f);
}

SoundFileSource::SoundFileSource(const QString& file) {
    if (!SndfileApi::get().complete)
        throw MediaError("sound files cannot be read: libsndfile is missing");
    const QByteArray name = QFile::encodeName(file);
    file_.reset(sndfile().sf_open(name.constData(), SFM_READ, &info_));
    if (!file_) throw MediaError("file is not accesible or corrupt");
    if (info_.frames <= 0 || info_.channels <= 0 || info_.samplerate <= 0)
        throw MediaError("no audio in the file");
    // Floating-point files that go past full scale are clipped rather than wrapped.
    sndfile().sf_command(file_.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

int SoundFileSource::read(int16_t* frames, int count) noexcept {
    const sf_count_t got = sndfile().sf_readf_short(file_.get(), frames, count);
    // A damaged or cut-off file ends where its readable audio ends.
    if (got <= 0) return sndfile().sf_error(file_.get()) != SF_ERR_NO_ERROR && got < 0 ? -1 : 0;
    return static_cast<int>(got);
}

bool SoundFileSource::seek(int64_t frame) noexcept {
    return sndfile().sf_seek(file_.get(), frame, SEEK_SET) >= 0;
}

}  // namespace ombrix

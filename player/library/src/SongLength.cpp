#include "ombrix/library/SongLength.h"

#include <QFile>
#include <limits>

#ifdef OMBRIX_HAVE_MP3
#include "mp3.h"
#endif

namespace ombrix {

SongLengthFn SongLength::decoder() {
    return [](const QString& file, qint64 startOffset) -> qint32 {
#ifdef OMBRIX_HAVE_MP3
        if (startOffset < 0 || startOffset > std::numeric_limits<int32_t>::max()) return 0;
        const QByteArray name = QFile::encodeName(file);
        const int32_t ms = OmbrixGetTotalMs(name.constData(), int32_t(startOffset));
        return ms > 0 ? ms : 0;
#else
        Q_UNUSED(file);
        Q_UNUSED(startOffset);
        return 0;
#endif
    };
}

bool SongLength::available() noexcept {
#ifdef OMBRIX_HAVE_MP3
    return true;
#else
    return false;
#endif
}

}  // namespace ombrix

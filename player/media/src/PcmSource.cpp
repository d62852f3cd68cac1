#include "ombrix/media/PcmSource.h"

#include <QFileInfo>

#include "CdTrackSource.h"
#include "MidiSource.h"
#include "SoundFileSource.h"
#include "ombrix/media/MediaIdentifier.h"

namespace ombrix {

QStringList defaultSoundFonts() {
    return {QStringLiteral("/usr/share/sounds/sf2/FluidR3_GM.sf2"),
            QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2"),
            QStringLiteral("/usr/share/sounds/sf2/default-GM.sf2")};
}

QString findSoundFont(const QString& setting, const QStringList& installed) {
    if (!setting.isEmpty() && QFileInfo(setting).isFile()) return setting;
    for (const QString& path : installed)
        if (QFileInfo(path).isFile()) return path;
    return {};
}

bool hasPcmSource(const QString& file) {
    static const QStringList extensions{".wav", ".flac", ".ogg", ".oga", ".opus",
                                        ".mid", ".midi", ".rmi", ".cda"};
    return extensions.contains(MediaIdentifier::extension(file));
}

std::unique_ptr<PcmSource> openPcmSource(const QString& file, const QString& soundFont) {
    const QString ext = MediaIdentifier::extension(file);
    if (ext == QLatin1String(".mid") || ext == QLatin1String(".midi") ||
        ext == QLatin1String(".rmi"))
        return std::make_unique<MidiSource>(file, soundFont);
    if (ext == QLatin1String(".cda")) return std::make_unique<CdTrackSource>(file);
    return std::make_unique<SoundFileSource>(file);
}

}  // namespace ombrix

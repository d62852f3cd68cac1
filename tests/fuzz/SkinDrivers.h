#pragma once

// Parsers that come with panels: the panel loader (bitmap headers, the ".btn" description and
// the element rectangles) and the archives, listed, extracted and installed as panels. Shared by
// the fuzz targets and skin_tests.

#include <QDirIterator>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <algorithm>
#include <cstdlib>

#include "FuzzSupport.h"
#include "ombrix/media/ArchiveError.h"
#include "ombrix/media/ArchiveMember.h"
#include "ombrix/media/LhaArchive.h"
#include "ombrix/media/ZipArchive.h"
#include "ombrix/skin/PanelError.h"
#include "ombrix/skin/PanelInstaller.h"
#include "ombrix/skin/SkinFile.h"

namespace ombrix::fuzz {

/// Takes a part of at most 0xFFFF bytes, announced by a little-endian 16-bit length, off the front
/// of @p rest.
inline QByteArray takePart(QByteArrayView& rest) {
    if (rest.size() < 2) {
        rest = {};
        return {};
    }
    const qsizetype n =
        std::min<qsizetype>(quint8(rest[0]) | qsizetype(quint8(rest[1])) << 8, rest.size() - 2);
    const QByteArray part = rest.sliced(2, n).toByteArray();
    rest = rest.sliced(2 + n);
    return part;
}

/// Largest picture the panel driver loads.
inline constexpr qint64 kMaxFuzzPixels = 512 * 512;

/**
 * @brief Input: a flag byte (bit 0: there is an alternate image, bit 1: a description file),
 *        the panel image and the alternate image each after its 16-bit length, then the ".btn"
 *        text. The panel is loaded; when it loads, its rectangles, shape and copies stay inside
 *        the picture.
 */
inline void panelDriver(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return;
    const std::uint8_t flags = data[0];
    QByteArrayView rest(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const QByteArray base = takePart(rest);
    const QByteArray alt = takePart(rest);
    static const ScratchFolder folder("panel");
    const QString basePath = folder.file(QStringLiteral("panel.bmp"));
    const QString altPath = SkinFile::alternatePath(basePath);
    const QString btnPath = SkinFile::descriptionPath(basePath);
    writeBytes(basePath, base.constData(), base.size());
    QFile::remove(altPath);
    QFile::remove(btnPath);
    if (flags & 1) writeBytes(altPath, alt.constData(), alt.size());
    if (flags & 2) writeBytes(btnPath, rest.data(), rest.size());
    // Big pictures only make each run slow (decoding fills every pixel); the size limit itself
    // is a comparison with the header's numbers.
    for (const QString& image : {basePath, altPath}) {
        const QSize declared = QImageReader(image, "bmp").size();
        if (qint64(declared.width()) * declared.height() > kMaxFuzzPixels) return;
    }

    SkinFile panel;
    try {
        panel.load(basePath);
    } catch (const PanelError&) {
        require(panel.base().isNull());  // a panel that fails to load is left as it was
        return;
    }
    const QSize s = panel.size();
    require(s.width() >= 1 && s.height() >= 1);
    require(s.width() <= SkinFile::kMaxSide && s.height() <= SkinFile::kMaxSide);
    require(panel.alternate().size() == s);
    require(panel.base().format() == QImage::Format_RGB32);
    const QRect whole(QPoint(0, 0), s);
    QImage target = panel.base().copy();
    for (int i = 0; i < kPanelElementCount; ++i) {
        ButtonRect& b = panel.button(i);
        require(b.Left >= 0 && b.Left <= s.width() && b.Right >= 0 && b.Right <= s.width());
        require(b.Top >= 0 && b.Top <= s.height() && b.Bottom >= 0 && b.Bottom <= s.height());
        require(b.rect().isEmpty() || whole.contains(b.rect()));
        b.draw(target, panel.alternate());
        require(!b.hitTest(b.Left - 1, b.Top));
        (void)b.hitTest(b.Left, b.Top);
    }
    require(panel.volumeTravel >= 0 && panel.panTravel >= 0);
    require(panel.fadervolumeknob >= 0 && panel.faderpanknob >= 0);
    require(std::abs(panel.screenleft) <= s.width() && std::abs(panel.screentop) <= s.height());
    const QRegion shape = panel.windowRegion();
    require(shape.isEmpty() || whole.contains(shape.boundingRect()));
}

/// Files and links anywhere below @p folder, as paths relative to it.
inline QStringList everythingBelow(const QString& folder) {
    QStringList out;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) out << QDir(folder).relativeFilePath(it.next());
    return out;
}

/// Members no larger than this are extracted (larger ones would only write zeros for long).
inline constexpr qint64 kExtractLimit = 1 << 20;

/// Checks the listing of an opened archive and extracts its small members: each under its
/// safe base name, never more than its declared size.
template <class Archive>
void extractSmallMembers(const Archive& archive, const ScratchFolder& out) {
    const QList<ArchiveMember>& members = archive.members();
    for (qsizetype i = 0; i < members.size() && i < 8; ++i) {
        const ArchiveMember& m = members[i];
        require(m.size >= 0);
        const QString name = safeMemberFileName(m.name);
        if (name.isEmpty() || m.size > kExtractLimit) continue;
        require(!name.contains(QLatin1Char('/')) && name != QLatin1String("..") &&
                name != QLatin1String("."));
        const QString dest = out.file(name);
        try {
            archive.extract(i, dest);
        } catch (const ArchiveError&) {
            require(!QFileInfo::exists(dest));  // no partly written file under the name
            continue;
        }
        require(QFileInfo(dest).isFile() && QFileInfo(dest).size() <= m.size);
        QFile::remove(dest);
    }
    require(everythingBelow(out.path()).isEmpty());  // nothing left behind beside the members
}

/**
 * @brief The input as an archive file: listed and partly extracted as a zip and as an LHA
 *        archive, then installed as a panel. An installed panel leaves only plain files
 *        directly in its folder, the panel image among them.
 */
inline void archiveDriver(const std::uint8_t* data, std::size_t size) {
    static const ScratchFolder folder("archive");
    static const ScratchFolder out("archive-out");
    const QString file = folder.file(QStringLiteral("in.zip"));
    if (!writeBytes(file, reinterpret_cast<const char*>(data), qint64(size))) return;
    {
        try {
            const ZipArchive zip(file);
            extractSmallMembers(zip, out);
        } catch (const ArchiveError&) {
        }
        try {
            const LhaArchive lha(file);
            extractSmallMembers(lha, out);
        } catch (const ArchiveError&) {
        }
    }
    qint64 total = 0;
    try {
        const ZipArchive zip(file);
        for (const ArchiveMember& m : zip.members()) total += std::min(m.size, kExtractLimit + 1);
    } catch (const ArchiveError&) {
        return;
    }
    if (total > kExtractLimit) return;
    static const ScratchFolder installed("archive-panels");
    installed.clear();
    const QString& panels = installed.path();
    QString caption;
    try {
        caption = PanelInstaller::install(file, panels);
    } catch (const PanelError&) {
        // Refused archives write nothing; one that fails while extracting may leave files,
        // but only directly in the folder (checked below).
    }
    for (const QString& entry : everythingBelow(panels)) {
        require(!entry.contains(QLatin1Char('/')));
        const QFileInfo info(panels + QLatin1Char('/') + entry);
        require(info.isFile() && !info.isSymLink());
    }
    if (!caption.isEmpty()) {
        const QStringList files = everythingBelow(panels);
        require(std::any_of(files.cbegin(), files.cend(), [&](const QString& f) {
            return f.size() == caption.size() + 4 && f.startsWith(caption) &&
                   f.endsWith(QLatin1String(".bmp"), Qt::CaseInsensitive);
        }));
    }
    require(QFileInfo(file).size() == qint64(size));  // the archive itself is never written
}

}  // namespace ombrix::fuzz

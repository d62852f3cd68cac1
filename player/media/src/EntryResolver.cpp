#include "ombrix/media/EntryResolver.h"

#include <sys/vfs.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <utility>

#include "ombrix/media/ExclusiveFile.h"
#include "ombrix/media/HttpDownloader.h"
#include "ombrix/media/LhaArchive.h"
#include "ombrix/media/ZipArchive.h"
#include "ombrix/settings/PrivateFolder.h"

namespace ombrix {
namespace {

// Largest member number an entry can carry after ".zip" (ten digits).
constexpr int kMaxOrdinalDigits = 10;
// Hex digits of the folder that keys an extract: 64 bits, no clash between real archives.
constexpr int kKeyLength = 16;

}  // namespace

EntryResolver::EntryResolver(Config config, const MediaIdentifier& media, TempRegister& temps)
    : config_(std::move(config)), media_(media), temps_(temps) {}

std::pair<QString, int> EntryResolver::splitArchiveEntry(const QString& entry) {
    const QString ext = MediaIdentifier::extension(entry);
    if (!ext.startsWith(QLatin1String(".zip"))) return {entry, 0};
    const QString digits = ext.mid(4, kMaxOrdinalDigits);
    bool ok = false;
    const int n = digits.isEmpty() ? 0 : digits.toInt(&ok);
    return {entry.left(entry.size() - (ext.size() - 4)), ok ? n : 0};
}

bool EntryResolver::isNetworkPath(const QString& path) {
    if (path.startsWith(QLatin1String("//")) || path.startsWith(QLatin1String("\\\\"))) return true;
    struct statfs fs {};
    if (::statfs(QFile::encodeName(path).constData(), &fs) != 0) return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
        case 0x6969UL:      // NFS
        case 0xFF534D42UL:  // CIFS
        case 0xFE534D42UL:  // SMB2
        case 0x517BUL:      // SMB
            return true;
        default:
            return false;
    }
}

QString EntryResolver::resolve(const QString& entry) {
    const QString ext = MediaIdentifier::extension(entry);
    if (ext == QLatin1String(".s3z") || ext == QLatin1String(".itz") ||
        ext == QLatin1String(".mdz") || ext == QLatin1String(".xmz"))
        return compressedModule(entry, ext);
    if (ext.startsWith(QLatin1String(".zip"))) return zipMember(entry);
    if (ext == QLatin1String(".lzh")) return lhaMember(entry);
    if (isWebAddress(entry)) return downloaded(entry);
    if (config_.copyshared && MediaIdentifier::mediaKind(entry) == kKindMpeg &&
        isNetworkPath(entry))
        return sharedCopy(entry);
    return entry;
}

QString EntryResolver::extractPath(const QString& source, qsizetype member,
                                   const QString& storedName, const QString& name) const {
    // The key names the archive (path, size and time, so a changed archive is extracted anew)
    // and the member inside it, so that two members with the same base name never share a file.
    const QFileInfo fi(source);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(QFile::encodeName(fi.absoluteFilePath()));
    hash.addData(QByteArray(1, '\0'));
    hash.addData(QByteArray::number(fi.size()) + ':' +
                 QByteArray::number(fi.lastModified().toMSecsSinceEpoch()) + ':' +
                 QByteArray::number(member) + ':');
    hash.addData(storedName.toUtf8());
    const QString key = QString::fromLatin1(hash.result().toHex().left(kKeyLength));
    PrivateFolder::ensure(config_.tempFolder);
    const QString folder = QDir(config_.tempFolder).filePath(key);
    PrivateFolder::ensure(folder);
    return QDir(folder).filePath(name);
}

void EntryResolver::refuseOverLimit(const ArchiveMember& member) const {
    // The temporary folder is often in memory: a member is held to a size of the user's choice
    // rather than to the free space alone.
    if (member.size > config_.extractLimitBytes)
        throw ExtractLimitError(QStringLiteral("%1 is larger than %2 MiB (extractlimit)")
                                    .arg(member.name)
                                    .arg(config_.extractLimitBytes >> 20)
                                    .toStdString());
}

int EntryResolver::sweepStaleExtracts(const QString& tempFolder, qint64 minAgeSeconds) {
    if (tempFolder.isEmpty() || !PrivateFolder::problem(tempFolder).isEmpty()) return 0;
    static const QRegularExpression extractName(QStringLiteral("^[0-9a-f]{%1}$").arg(kKeyLength));
    const QDateTime before = QDateTime::currentDateTime().addSecs(-minAgeSeconds);
    int removed = 0;
    const QFileInfoList folders =
        QDir(tempFolder).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QFileInfo& folder : folders) {
        if (folder.isSymLink() || !extractName.match(folder.fileName()).hasMatch() ||
            folder.lastModified() > before)
            continue;
        const QFileInfoList inside = QDir(folder.filePath())
                                         .entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot |
                                                        QDir::Hidden | QDir::System);
        for (const QFileInfo& f : inside)
            if (f.isSymLink() || !f.isDir()) QFile::remove(f.filePath());  // never a link's target
        removed += QDir(tempFolder).rmdir(folder.fileName()) ? 1 : 0;
    }
    return removed;
}

bool EntryResolver::isExtract(const QString& path) {
    // Inside the private folder only this user can put anything, but a folder of extracts is
    // never taken for one.
    const QFileInfo fi(path);
    return fi.isFile() && !fi.isSymLink();
}

QString EntryResolver::compressedModule(const QString& entry, const QString& ext) {
    static const QHash<QString, QString> mapped{
        {".s3z", ".s3m"}, {".itz", ".it"}, {".mdz", ".mod"}, {".xmz", ".xm"}};
    const QString name = QFileInfo(entry).completeBaseName() + mapped.value(ext);
    try {
        const ZipArchive zip(entry);
        const auto& members = zip.members();
        for (qsizetype i = 0; i < members.size(); ++i) {
            if (safeMemberFileName(members[i].name).compare(name, Qt::CaseInsensitive) != 0)
                continue;
            refuseOverLimit(members[i]);
            const QString result = extractPath(entry, i, members[i].name, name);
            if (!isExtract(result)) zip.extract(i, result);
            temps_.add(result, config_.glbtemp10);
            return result;
        }
    } catch (const ArchiveError&) {
    }
    return {};
}

QString EntryResolver::zipMember(const QString& entry) {
    const auto [archive, wanted] = splitArchiveEntry(entry);
    try {
        const ZipArchive zip(archive);
        const QList<qsizetype> playable = media_.playableMembers(zip.members());
        if (wanted < 0 || wanted >= playable.size()) return {};
        return extractMember(archive, zip.members(), playable[wanted],
                             [&](qsizetype i, const QString& to) { zip.extract(i, to); });
    } catch (const ArchiveError&) {
    }
    return {};
}

QString EntryResolver::lhaMember(const QString& entry) {
    try {
        const LhaArchive lha(entry);
        const QList<qsizetype> playable = media_.playableMembers(lha.members());
        if (playable.isEmpty()) return {};
        return extractMember(entry, lha.members(), playable.first(),
                             [&](qsizetype i, const QString& to) { lha.extract(i, to); });
    } catch (const ArchiveError&) {
    }
    return {};
}

QString EntryResolver::extractMember(
    const QString& archive, const QList<ArchiveMember>& members, qsizetype index,
    const std::function<void(qsizetype, const QString&)>& extract) {
    const QString name = safeMemberFileName(members[index].name);
    if (name.isEmpty()) return {};
    refuseOverLimit(members[index]);
    const QString result = extractPath(archive, index, members[index].name, name);
    if (!isExtract(result)) extract(index, result);
    // Registered so that it is removed at exit (and, with "glbtemp10", once ten newer ones exist).
    temps_.add(result, config_.glbtemp10);
    return result;
}

QString EntryResolver::sharedCopy(const QString& entry) {
    const QFileInfo source(entry);
    const QString result = extractPath(entry, 0, QString(), source.fileName());
    if (!isExtract(result)) {
        QFile in(entry);
        if (!in.open(QIODevice::ReadOnly)) return entry;  // play it where it is
        try {
            ExclusiveFile out(result);
            const qint64 size = in.size();
            while (out.size() < size) {
                const QByteArray block = in.read(qMin<qint64>(size - out.size(), 1 << 20));
                if (block.isEmpty()) return entry;
                out.write(block.constData(), block.size());
            }
            out.commit();
        } catch (const ExclusiveFileError&) {
            return entry;
        }
    }
    temps_.add(result, config_.glbtemp10);
    return result;
}

bool EntryResolver::isWebAddress(const QString& entry) {
    return entry.startsWith(QLatin1String("http"));
}

QString EntryResolver::downloadPath(const QString& entry) const {
    // The copy is known by the whole address: another address ending in the same name is
    // another document. The document's own name follows, for its extension and for people.
    const QString name =
        QString::fromLatin1(
            QCryptographicHash::hash(entry.toUtf8(), QCryptographicHash::Sha256).toHex().left(16)) +
        QLatin1Char('-') + HttpDownloader::documentName(entry);
    return QDir(config_.downloadFolder).filePath(name);
}

bool EntryResolver::needsDownload(const QString& entry) const {
    return isWebAddress(entry) && !QFileInfo(downloadPath(entry)).isFile();
}

std::unique_ptr<HttpDownloader> EntryResolver::startDownload(const QString& entry) {
    trimDownloads(kMaxDownloadCacheBytes - qMin(config_.downloadLimitBytes, kMaxDownloadCacheBytes));
    auto downloader = std::make_unique<HttpDownloader>();
    downloader->setProxy(config_.proxy, config_.proxyport);
    downloader->setLimits(config_.downloadLimitBytes, config_.downloadDeadlineMs);
    const QFileInfo target(downloadPath(entry));
    downloader->start(entry, target.path(), target.fileName());
    return downloader;
}

QString EntryResolver::downloaded(const QString& entry) {
    const QString result = downloadPath(entry);
    if (!QFileInfo(result).isFile())
        throw DownloadError(QStringLiteral("%1: not downloaded").arg(entry).toStdString());
    // A copy lives as long as the other temporary files.
    temps_.add(result, config_.glbtemp10);
    return result;
}

void EntryResolver::trimDownloads(qint64 keepBytes) const {
    QFileInfoList copies = QDir(config_.downloadFolder)
                               .entryInfoList(QDir::Files | QDir::NoSymLinks | QDir::Hidden,
                                              QDir::Time | QDir::Reversed);  // oldest first
    qint64 total = 0;
    for (const QFileInfo& f : copies) total += f.size();
    for (const QFileInfo& f : copies) {
        if (total <= keepBytes) break;
        if (QFile::remove(f.filePath())) total -= f.size();
    }
}

}  // namespace ombrix

#include "ombrix/desktop/FileAssociations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QSaveFile>
#include <optional>

#include "ombrix/desktop/MimeAppsList.h"

namespace ombrix {
namespace {

const QString kDefaults = QStringLiteral("Default Applications");
const QString kAdded = QStringLiteral("Added Associations");
const QString kEntry = QStringLiteral("Desktop Entry");

[[noreturn]] void fail(const QString& text) {
    throw AssociationError(text.toStdString());
}

// The file as it is now (nullopt when there is none); refuses links and unreadable files.
std::optional<QByteArray> readTarget(const QString& path) {
    const QFileInfo fi(path);
    if (fi.isSymLink())
        fail(
            QStringLiteral("%1 is a symbolic link; file associations were not changed.").arg(path));
    if (!fi.exists()) return std::nullopt;
    QFile f(path);
    if (!fi.isFile() || !f.open(QIODevice::ReadOnly))
        fail(QStringLiteral("%1 cannot be read; file associations were not changed.").arg(path));
    return f.readAll();
}

MimeAppsList parseTarget(const QString& path, const std::optional<QByteArray>& text) {
    try {
        return MimeAppsList::parse(text.value_or(QByteArray()));
    } catch (const KeyFileSyntaxError& e) {
        fail(QStringLiteral("%1 is not a valid key file (%2); file associations were not "
                            "changed.")
                 .arg(path, QString::fromUtf8(e.what())));
    }
}

void checkWritable(const QString& path) {
    const QFileInfo fi(path);
    // A file its owner made read-only is left alone, whoever could still write it.
    if (fi.exists() && (!fi.isWritable() || !(fi.permissions() & QFileDevice::WriteOwner)))
        fail(QStringLiteral("%1 is read-only; file associations were not changed.").arg(path));
    QFileInfo dir(fi.absolutePath());
    while (!dir.exists()) dir = QFileInfo(dir.absolutePath());
    if (!dir.isWritable())
        fail(QStringLiteral("%1 cannot be written; file associations were not changed.").arg(path));
}

void writeTarget(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size() || !f.commit())
        fail(QStringLiteral("%1 cannot be written (%2).").arg(path, f.errorString()));
}

void addOnce(QStringList& list, const QString& item, bool front) {
    if (front) {
        list.removeAll(item);
        list.prepend(item);
    } else if (!list.contains(item)) {
        list.append(item);
    }
}

// Quoting of an Exec argument: reserved characters need double quotes, inside which the
// double quote, backquote, dollar and backslash are escaped; a literal % is doubled.
QString quoteArgument(QString arg) {
    arg.replace(QLatin1Char('%'), QStringLiteral("%%"));
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool quote = false;
    for (QChar c : arg) quote = quote || reserved.contains(c);
    if (!quote) return arg;
    QString out = QStringLiteral("\"");
    for (QChar c : arg) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        out += c;
    }
    return out + QLatin1Char('"');
}

}  // namespace

FileAssociations::FileAssociations(QString configHome, QString dataHome, QString program)
    : configHome_(std::move(configHome)),
      dataHome_(std::move(dataHome)),
      program_(std::move(program)) {}

FileAssociations FileAssociations::forEnvironment(const QProcessEnvironment& env, QString program) {
    const QString home = env.value(QStringLiteral("HOME"), QDir::homePath());
    QString config = env.value(QStringLiteral("XDG_CONFIG_HOME"));
    QString data = env.value(QStringLiteral("XDG_DATA_HOME"));
    // Relative values are invalid and ignored, as the base directory specification says.
    if (!QDir::isAbsolutePath(config)) config = home + QStringLiteral("/.config");
    if (!QDir::isAbsolutePath(data)) data = home + QStringLiteral("/.local/share");
    return FileAssociations(config, data, std::move(program));
}

QString FileAssociations::mimeAppsPath() const {
    return configHome_ + QStringLiteral("/mimeapps.list");
}

QString FileAssociations::desktopEntryPath() const {
    return dataHome_ + QStringLiteral("/applications/") + kDesktopId;
}

QStringList FileAssociations::extensions(const QString& filter) {
    QStringList out;
    qsizetype from = 0;
    while (true) {
        const qsizetype dot = filter.indexOf(QLatin1Char('.'), from);
        if (dot < 0) break;
        const qsizetype end = filter.indexOf(QLatin1Char(';'), dot);
        if (end < 0) break;
        const QString ext = filter.mid(dot + 1, end - dot - 1).trimmed().toLower();
        if (!ext.isEmpty() && !ext.contains(QLatin1Char('.')) && !out.contains(ext)) out << ext;
        from = end + 1;
    }
    return out;
}

QStringList FileAssociations::mimeTypes(const QString& extension) {
    QStringList out;
    const QMimeDatabase db;
    for (const QMimeType& t : db.mimeTypesForFileName(QStringLiteral("x.") + extension))
        if (!t.isDefault()) out << t.name();
    return out;
}

QString FileAssociations::exec(const QString& args) const {
    return quoteArgument(program_) + (args.isEmpty() ? QString() : QLatin1Char(' ') + args);
}

QByteArray FileAssociations::desktopEntry(const QStringList& mimeTypes, int actions,
                                          bool cdPlayer) const {
    QStringList names;
    QString groups;
    auto action = [&](bool on, const char* id, const char* name, const QString& args) {
        if (!on) return;
        names << QLatin1String(id);
        groups += QStringLiteral("\n[Desktop Action %1]\nName=%2\nExec=%3\n")
                      .arg(QLatin1String(id), QLatin1String(name), exec(args));
    };
    action(actions & kAddToPlaylist, "AddToPlaylist", "Add to Playlist",
           QStringLiteral("@@add %f"));
    action(actions & kPlay, "Play", "Play", QStringLiteral("%f"));
    action(actions & kEditTag, "EditTag", "Edit TAG", QStringLiteral("@@edit %f"));
    action(cdPlayer, "PlayCD", "Play CD", QStringLiteral("@@cd"));
    QString text = QStringLiteral(
                       "[Desktop Entry]\nType=Application\nVersion=1.4\nName=Ombrix Player\n"
                       "GenericName=Media Player\n"
                       "Comment=Play MPEG audio files and playlists with skins and effects\n"
                       "Icon=ombrix\nExec=%1\nTerminal=false\n"
                       "Categories=AudioVideo;Audio;Player;\nStartupWMClass=ombrix\n")
                       .arg(exec(QStringLiteral("%F")));
    if (!mimeTypes.isEmpty()) text += QStringLiteral("MimeType=%1;\n").arg(mimeTypes.join(';'));
    if (!names.isEmpty()) text += QStringLiteral("Actions=%1;\n").arg(names.join(';'));
    return (text + groups).toUtf8();
}

void FileAssociations::apply(const QList<MediaType>& types, bool cdPlayer) const {
    const QString appsPath = mimeAppsPath();
    const QString entryPath = desktopEntryPath();
    const std::optional<QByteArray> appsText = readTarget(appsPath);
    const std::optional<QByteArray> entryText = readTarget(entryPath);
    MimeAppsList apps = parseTarget(appsPath, appsText);
    const MimeAppsList oldEntry = parseTarget(entryPath, entryText);

    // Types that are not asked about keep their place in our entry.
    QStringList entryTypes = oldEntry.list(kEntry, QStringLiteral("MimeType"));
    int actions = 0;
    bool any = cdPlayer;
    for (const MediaType& type : types) {
        if (type.flags == 0) continue;
        any = true;
        actions |= type.flags & (kAddToPlaylist | kPlay | kEditTag);
        for (const QString& ext : extensions(type.filter))
            for (const QString& mime : mimeTypes(ext)) {
                addOnce(entryTypes, mime, false);
                QStringList added = apps.list(kAdded, mime);
                addOnce(added, kDesktopId, (type.flags & kOpen) != 0);
                apps.setList(kAdded, mime, added);
                if (type.flags & kOpen) {
                    QStringList defaults = apps.list(kDefaults, mime);
                    addOnce(defaults, kDesktopId, true);
                    apps.setList(kDefaults, mime, defaults);
                }
            }
    }
    if (!any) return;
    if (cdPlayer)
        for (const QString& mime : kCdTypes) {
            addOnce(entryTypes, mime, false);
            QStringList defaults = apps.list(kDefaults, mime);
            addOnce(defaults, kDesktopId, true);
            apps.setList(kDefaults, mime, defaults);
        }
    // A CD action once offered stays, as turning the CD player off removes nothing.
    const bool cdAction = cdPlayer || oldEntry.contains(QStringLiteral("Desktop Action PlayCD"),
                                                        QStringLiteral("Exec"));
    const QByteArray newEntry = desktopEntry(entryTypes, actions, cdAction);
    const QByteArray newApps = apps.text();
    const bool entryChanges = newEntry != entryText.value_or(QByteArray());
    const bool appsChanges = newApps != appsText.value_or(QByteArray());
    if (entryChanges) checkWritable(entryPath);
    if (appsChanges) checkWritable(appsPath);
    if (entryChanges) writeTarget(entryPath, newEntry);
    if (appsChanges) writeTarget(appsPath, newApps);
}

}  // namespace ombrix

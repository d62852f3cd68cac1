#include "ombrix/control/SessionMarker.h"

#include <QFile>
#include <utility>

#include "ombrix/settings/TextFile.h"

namespace ombrix {

SessionMarker::SessionMarker(QString path) : path_(std::move(path)) {}

std::optional<SessionMarker::Entry> SessionMarker::uncleanExit() const {
    if (!QFile::exists(path_)) return std::nullopt;
    Entry entry;
    try {
        const QStringList lines = TextFile::readLines(path_);
        bool ok = false;
        if (!lines.isEmpty()) entry.index = lines.at(0).toInt(&ok);
        if (!ok) entry.index = -1;
        if (lines.size() > 1) entry.name = lines.at(1);
    } catch (const FileError&) {
    }
    return entry;
}

void SessionMarker::begin() {
    write(Entry{});
}

void SessionMarker::songStarted(int index, const QString& name) {
    write(Entry{index, name});
}

void SessionMarker::end() {
    QFile::remove(path_);
}

void SessionMarker::write(const Entry& entry) {
    try {
        TextFile::writeLines(path_, {QString::number(entry.index), entry.name});
    } catch (const FileError&) {
        // A home that cannot be written only costs the crash guard.
    }
}

}  // namespace ombrix

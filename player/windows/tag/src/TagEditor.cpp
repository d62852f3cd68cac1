#include "ombrix/windows/tag/TagEditor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "ombrix/control/PlaybackController.h"
#include "ombrix/library/GenreTable.h"
#include "ombrix/media/MediaIdentifier.h"

namespace ombrix {

namespace {

QString quoted(const QString& file) {
    return QLatin1Char('"') + QDir::toNativeSeparators(file) + QLatin1Char('"');
}

bool startsWithRiff(const QString& file) {
    QFile f(file);
    if (!QFileInfo(file).isFile() || !f.open(QIODevice::ReadOnly)) return false;
    return f.read(4) == "RIFF";
}

}  // namespace

TagEditor::TagEditor(PlaybackController& controller) : controller_(controller) {}

void TagEditor::setCurrentFile(const QString& file) {
    currentFile_ = file;
    loaded_ = false;
    modified_ = false;
    fileSize_ = -1;
    error_.clear();
}

void TagEditor::setField(Field field, const QString& value) {
    switch (field) {
        case Field::Title:
            fields_.title = value;
            break;
        case Field::Artist:
            fields_.artist = value;
            break;
        case Field::Comment:
            fields_.comment = value;
            break;
        case Field::Album:
            fields_.album = value;
            break;
        case Field::Year:
            fields_.year = value;
            break;
    }
}

QString TagEditor::field(Field field) const {
    switch (field) {
        case Field::Title:
            return fields_.title;
        case Field::Artist:
            return fields_.artist;
        case Field::Comment:
            return fields_.comment;
        case Field::Album:
            return fields_.album;
        case Field::Year:
            return fields_.year;
    }
    return {};
}

int TagEditor::maxLength(Field field) const noexcept {
    if (riffMode_) return 0;
    // The tag stores four characters of year; a longer year would be cut on writing.
    return field == Field::Year ? kId3YearLength : kId3TextLength;
}

QString TagEditor::limited(Field field, const QString& text) const {
    const int max = maxLength(field);
    return max > 0 ? text.left(max) : text;
}

QString TagEditor::infoText() const {
    if (fileSize_ < 0) return {};
    return QString::asprintf("%lld kbyte", static_cast<long long>(fileSize_ / 1024)) +
           (riffMode_ ? QStringLiteral(" (RIFF MP3)") : QStringLiteral(" (ID3TAG)"));
}

void TagEditor::showRecord(const SongTag& tag) {
    riffMode_ = tag.isRiff;
    fields_ = Fields();
    fields_.title = limited(Field::Title, tag.title);
    fields_.artist = limited(Field::Artist, tag.artist);
    fields_.comment = limited(Field::Comment, tag.comment);
    fields_.album = limited(Field::Album, tag.album);
    fields_.year = limited(Field::Year, tag.year);
    fields_.copyright = tag.copyright;
    fields_.source = tag.source;
    fields_.genreName = tag.genreName;
    fields_.genreIndex = std::clamp(tag.genreIndex, 0, GenreTable::kSize - 1);
}

void TagEditor::copyInto(SongTag& tag) const {
    tag.title = limited(Field::Title, fields_.title);
    tag.artist = limited(Field::Artist, fields_.artist);
    tag.comment = limited(Field::Comment, fields_.comment);
    tag.album = limited(Field::Album, fields_.album);
    tag.year = limited(Field::Year, fields_.year);
    tag.copyright = fields_.copyright;
    tag.source = fields_.source;
    if (riffMode_) {
        tag.genreName = fields_.genreName;
    } else {
        // The name follows the index, so the display lines show the chosen genre.
        tag.genreIndex = std::clamp(fields_.genreIndex, 0, GenreTable::kSize - 1);
        tag.genreName = GenreTable::name(tag.genreIndex);
    }
}

bool TagEditor::load(const QString& file) {
    setCurrentFile(file);
    const QFileInfo info(file);
    SongTag tag;
    if (controller_.isOpenFile(file)) {
        tag = controller_.playingTag();
    } else if (!info.exists() || !info.isFile() || !tag.read(file)) {
        const QString reason = !info.exists()   ? QStringLiteral("the file does not exist")
                               : !info.isFile() ? QStringLiteral("it is not a regular file")
                                                : QStringLiteral("the file cannot be opened");
        error_ = QStringLiteral("Cannot read the tag of ") + quoted(file) + QStringLiteral(": ") +
                 reason + QLatin1Char('.');
        tag.clear(file);
        showRecord(tag);
        return false;
    }
    fileSize_ = info.size();
    showRecord(tag);
    loaded_ = true;
    return true;
}

QString TagEditor::writeFailure(const QString& file) const {
    static const QStringList writable{".rmp", ".mp3", ".mp2", ".mpa", ".wav"};
    const QFileInfo info(file);
    QString reason;
    if (!info.exists())
        reason = QStringLiteral("the file no longer exists");
    else if (!info.isFile())
        reason = QStringLiteral("it is not a regular file");
    else if (!writable.contains(MediaIdentifier::extension(file)))
        reason = QStringLiteral("tags are written only into .mp3, .mp2, .mpa, .rmp and .wav files");
    else if (!info.isWritable())
        reason = QStringLiteral("the file is read-only");
    else if (startsWithRiff(file))
        reason = QStringLiteral("the RIFF file has no complete data chunk");
    else
        reason = QStringLiteral("the file could not be written");
    return QStringLiteral("Cannot save the tag of ") + quoted(file) + QStringLiteral(": ") +
           reason + QStringLiteral(". The file was not changed.");
}

TagEditor::SaveResult TagEditor::save() {
    if (!modified_) return SaveResult::Unchanged;
    error_.clear();
    if (!loaded_) {
        error_ = QStringLiteral("Cannot save the tag of ") + quoted(currentFile_) +
                 QStringLiteral(": it was not read from this file.");
        return SaveResult::Failed;
    }
    if (controller_.isOpenFile(currentFile_)) {
        SongTag tag = controller_.playingTag();
        copyInto(tag);
        controller_.editPlayingTag(tag);
        modified_ = false;
        return SaveResult::Deferred;
    }
    // A fresh record keeps what the form does not show (software, engineer) as the file has it.
    SongTag tag;
    const QFileInfo info(currentFile_);
    if (!info.isFile() || !tag.read(currentFile_) || !(copyInto(tag), tag.write(currentFile_))) {
        error_ = writeFailure(currentFile_);
        return SaveResult::Failed;
    }
    modified_ = false;
    fileSize_ = QFileInfo(currentFile_).size();
    return SaveResult::Written;
}

QString TagEditor::fieldName(Field field) {
    switch (field) {
        case Field::Title:
            return QStringLiteral("title");
        case Field::Artist:
            return QStringLiteral("artist");
        case Field::Comment:
            return QStringLiteral("comment");
        case Field::Album:
            return QStringLiteral("albumname");
        case Field::Year:
            return QStringLiteral("year");
    }
    return {};
}

QString TagEditor::unifyQuestion(Field field, int count, const QString& value) {
    return QStringLiteral("Do you unify the %1 of %2 files with \"%3\"?")
        .arg(fieldName(field))
        .arg(count)
        .arg(value);
}

QString TagEditor::unifyOne(Field field, const QString& value, const QString& file) {
    if (!load(file)) return error_;
    setField(field, value);
    modified_ = true;
    return save() == SaveResult::Failed ? error_ : QString();
}

TagEditor::UnifyResult TagEditor::unify(Field field, const QString& value, const QStringList& files,
                                        const Progress& progress) {
    UnifyResult result;
    const int total = static_cast<int>(files.size());
    for (int i = 0; i < total; ++i) {
        if (progress && !progress(i, total)) {
            result.cancelled = true;
            break;
        }
        const QString failure = unifyOne(field, value, files[i]);
        if (failure.isEmpty())
            ++result.written;
        else
            result.errors << failure;
    }
    if (progress && !result.cancelled) progress(total, total);
    return result;
}

bool TagEditor::canEdit(const QString& file) {
    return !file.isEmpty() && QDir::match(namePatterns(), QFileInfo(file).fileName());
}

QStringList TagEditor::namePatterns() {
    return {QStringLiteral("*.mp1"), QStringLiteral("*.mp2"), QStringLiteral("*.mp3"),
            QStringLiteral("*.rmp"), QStringLiteral("*.wav")};
}

}  // namespace ombrix

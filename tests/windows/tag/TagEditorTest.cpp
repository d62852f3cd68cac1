// The tag editor's logic on real files: round trips, limits, unify, failures, and the tag of
// the file being played going through the real controller.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>

#include "TaggerSupport.h"
#include "ombrix/windows/tag/TagEditor.h"
#include "support/Files.h"

namespace ombrix::test {
namespace {

using Field = TagEditor::Field;
using Result = TagEditor::SaveResult;

class TagEditorTest : public ::testing::Test {
protected:
    void SetUp() override { OMBRIX_NEED_MEDIA(); }
    TaggerWorld world;
    TagEditor editor{*world.controller};
};

TEST_F(TagEditorTest, Id3FieldsRoundTripWithinTheTagsWidths) {
    const QString file = world.mp3("plain.mp3");
    const qint64 size = QFileInfo(file).size();
    ASSERT_TRUE(editor.load(file));
    EXPECT_FALSE(editor.riffMode());
    EXPECT_EQ(editor.fields().title, "plain");
    EXPECT_EQ(editor.infoText(), QString("%1 kbyte (ID3TAG)").arg(size / 1024));
    EXPECT_EQ(editor.save(), Result::Unchanged) << "nothing typed, nothing written";
    EXPECT_EQ(QFileInfo(file).size(), size);

    TagEditor::Fields f = editor.fields();
    f.title = QString(40, 'T');
    f.artist = QStringLiteral("Ärtist");
    f.album = QStringLiteral("Album  ");
    f.year = QStringLiteral("1999-05");
    f.genreIndex = 17;
    editor.setFields(f);
    editor.setModified(true);
    ASSERT_EQ(editor.save(), Result::Written) << editor.error().toStdString();
    EXPECT_FALSE(editor.modified());
    EXPECT_EQ(QFileInfo(file).size(), size + 128);

    const SongTag tag = tagOf(file);
    EXPECT_EQ(tag.title, QString(30, 'T')) << "an ID3 field holds 30 characters";
    EXPECT_EQ(tag.artist, QStringLiteral("Ärtist"));
    EXPECT_EQ(tag.album, "Album  ");
    EXPECT_EQ(tag.year, "1999");
    EXPECT_EQ(tag.genreIndex, 17);
    EXPECT_EQ(tag.genreName, "Rock");

    // Loading again shows what the file holds, at most 30 characters a field.
    ASSERT_TRUE(editor.load(file));
    EXPECT_EQ(editor.fields().title.size(), 30);
    EXPECT_EQ(editor.maxLength(Field::Title), 30);
    EXPECT_EQ(editor.maxLength(Field::Year), 4);
    EXPECT_EQ(editor.fields().genreIndex, 17);
    EXPECT_EQ(editor.infoText(), QString("%1 kbyte (ID3TAG)").arg((size + 128) / 1024));
}

TEST_F(TagEditorTest, RiffFieldsRoundTripWithFreeGenreAndKeepWhatTheFormDoesNotShow) {
    const QString file = world.wave("tone.wav");
    SongTag before;
    before.clear(file);
    before.engineer = QStringLiteral("Engineer");
    ASSERT_TRUE(before.write(file));

    ASSERT_TRUE(editor.load(file));
    EXPECT_TRUE(editor.riffMode());
    EXPECT_EQ(editor.maxLength(Field::Title), 0) << "RIFF texts have no 30-character limit";
    EXPECT_TRUE(editor.infoText().endsWith(" kbyte (RIFF MP3)"));
    TagEditor::Fields f = editor.fields();
    f.title = QString(50, 'x');
    f.genreName = QStringLiteral("Chiptune");
    f.copyright = QStringLiteral("(c) 2026");
    f.source = QStringLiteral("Tape");
    editor.setFields(f);
    editor.setModified(true);
    ASSERT_EQ(editor.save(), Result::Written) << editor.error().toStdString();
    ASSERT_EQ(editor.save(), Result::Unchanged);

    const SongTag tag = tagOf(file);
    EXPECT_EQ(tag.title, QString(50, 'x'));
    EXPECT_EQ(tag.genreName, "Chiptune");
    EXPECT_EQ(tag.copyright, "(c) 2026");
    EXPECT_EQ(tag.source, "Tape");
    EXPECT_EQ(tag.engineer, "Engineer") << "a field the form does not show keeps its value";
    EXPECT_EQ(readFile(file).count("LIST"), 1);
}

TEST_F(TagEditorTest, ASaveNeedsFieldsLoadedFromThatFile) {
    const QString a = world.mp3("a.mp3");
    const QByteArray bytes = readFile(a);
    editor.setCurrentFile(a);  // opened for the file, but not read
    editor.setModified(true);
    EXPECT_EQ(editor.save(), Result::Failed);
    EXPECT_TRUE(editor.error().contains("a.mp3"));
    EXPECT_EQ(readFile(a), bytes);

    // A file that vanished before the load: the fields are cleared, and are not saved anywhere.
    const QString gone = world.songFolder() + "/gone.mp3";
    EXPECT_FALSE(editor.load(gone));
    EXPECT_TRUE(editor.error().contains("gone.mp3"));
    editor.setModified(true);
    EXPECT_EQ(editor.save(), Result::Failed);
    EXPECT_FALSE(QFileInfo::exists(gone));
}

TEST_F(TagEditorTest, WriteFailuresNameTheFileAndLeaveItUnchanged) {
    auto typeTitle = [&] {
        TagEditor::Fields f = editor.fields();
        f.title = QStringLiteral("changed");
        editor.setFields(f);
        editor.setModified(true);
    };

    const QString locked = world.mp3("locked.mp3");
    const QByteArray lockedBytes = readFile(locked);
    ASSERT_TRUE(editor.load(locked));
    if (makeReadOnly(locked)) {
        typeTitle();
        EXPECT_EQ(editor.save(), Result::Failed);
        EXPECT_TRUE(editor.error().contains("locked.mp3"));
        EXPECT_TRUE(editor.error().contains("read-only")) << editor.error().toStdString();
        makeWritable(locked);
        EXPECT_EQ(readFile(locked), lockedBytes);
    }

    // A RIFF file whose data chunk claims more bytes than the file has.
    const QString cut = world.wave("cut.wav");
    QByteArray wave = readFile(cut);
    wave.chop(1000);
    writeFile(cut, wave);
    ASSERT_TRUE(editor.load(cut));
    typeTitle();
    EXPECT_EQ(editor.save(), Result::Failed);
    EXPECT_TRUE(editor.error().contains("cut.wav"));
    EXPECT_TRUE(editor.error().contains("data chunk")) << editor.error().toStdString();
    EXPECT_EQ(readFile(cut), wave);

    // A file removed between load and save is not created again.
    const QString vanished = world.mp3("vanished.mp3");
    ASSERT_TRUE(editor.load(vanished));
    QFile::remove(vanished);
    typeTitle();
    EXPECT_EQ(editor.save(), Result::Failed);
    EXPECT_TRUE(editor.error().contains("vanished.mp3"));
    EXPECT_TRUE(editor.error().contains("no longer exists")) << editor.error().toStdString();
    EXPECT_FALSE(QFileInfo::exists(vanished));

    // A FIFO is never opened (a read would block): the load fails and nothing can be saved.
    const QString fifo = world.songFolder() + "/pipe.mp3";
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(editor.load(fifo));
    EXPECT_TRUE(editor.error().contains("pipe.mp3"));
    typeTitle();
    EXPECT_EQ(editor.save(), Result::Failed);
}

TEST_F(TagEditorTest, UnifyOfTheYearAsksForFiveFilesAndWritesAll) {
    QStringList files;
    for (int i = 0; i < 4; ++i) files << world.mp3(QString("song%1.mp3").arg(i));
    files << world.wave("song4.wav");
    EXPECT_EQ(TagEditor::unifyQuestion(Field::Year, int(files.size()), "2001"),
              "Do you unify the year of 5 files with \"2001\"?");
    EXPECT_EQ(TagEditor::fieldName(Field::Album), "albumname");

    QList<int> seen;
    const auto result = editor.unify(Field::Year, "2001", files, [&](int done, int total) {
        seen << done;
        EXPECT_EQ(total, 5);
        return true;
    });
    EXPECT_EQ(result.written, 5);
    EXPECT_TRUE(result.errors.isEmpty()) << result.errors.join('\n').toStdString();
    EXPECT_EQ(seen, (QList<int>{0, 1, 2, 3, 4, 5}));
    for (int i = 0; i < 5; ++i) {
        const SongTag tag = tagOf(files[i]);
        EXPECT_EQ(tag.year, "2001") << files[i].toStdString();
        EXPECT_EQ(tag.title, QString("song%1").arg(i)) << "other fields stay per file";
    }

    // Cancelling stops between files; a file that cannot be written is reported, not skipped
    // silently.
    QFile::remove(files[0]);
    const auto cancelled =
        editor.unify(Field::Artist, "Band", files, [](int done, int) { return done < 3; });
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_EQ(cancelled.written, 2);
    ASSERT_EQ(cancelled.errors.size(), 1);
    EXPECT_TRUE(cancelled.errors[0].contains("song0.mp3"));
    EXPECT_EQ(tagOf(files[2]).artist, "Band");
    EXPECT_EQ(tagOf(files[3]).artist, "");
}

TEST_F(TagEditorTest, EditingThePlayingFileChangesTheLinesAtOnceAndTheFileAtStop) {
    world.store->change([&](PlayerSettings& s) { s.idtag2 = 1; });  // artist on the second line
    const QString file = world.songFolder() + "/playing.mp3";
    ASSERT_TRUE(world.play(file));
    const QByteArray bytes = readFile(file);
    EXPECT_EQ(world.controller->state().line1, "playing");

    ASSERT_TRUE(editor.load(file));
    EXPECT_EQ(editor.fields().title, "playing");
    TagEditor::Fields f = editor.fields();
    f.title = QStringLiteral("New Title");
    f.artist = QStringLiteral("New Artist");
    editor.setFields(f);
    editor.setModified(true);
    EXPECT_EQ(editor.save(), Result::Deferred);
    EXPECT_EQ(world.controller->state().line1, "New Title");
    EXPECT_EQ(world.controller->state().line2, "New Artist");
    EXPECT_EQ(world.controller->state().title, "New Title");
    EXPECT_EQ(readFile(file), bytes) << "the file is open for playback";

    // Loading it again shows the edit that is not yet written.
    ASSERT_TRUE(editor.load(file));
    EXPECT_EQ(editor.fields().title, "New Title");

    world.controller->stop();
    EXPECT_EQ(tagOf(file).title, "New Title");
    EXPECT_EQ(tagOf(file).artist, "New Artist");
    EXPECT_FALSE(world.controller->playingTag().found()) << "no song open, no tag";
    EXPECT_FALSE(world.controller->isOpenFile(file));
}

}  // namespace
}  // namespace ombrix::test

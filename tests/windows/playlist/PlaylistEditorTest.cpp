// The playlist window's rules without the window: what a name adds, the commands, the status
// line and the hand-over of the list on closing.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>

#include "ombrix/library/PlaylistFile.h"
#include "ombrix/windows/playlist/DesktopPlaylist.h"
#include "ombrix/windows/playlist/PlaylistEditor.h"
#include "support/ControllerRig.h"
#include "support/Files.h"

namespace ombrix::test {
namespace {

TEST(PlaylistEditorAdd, NamesContributeByTheirKind) {
    ControllerRig rig;
    const MediaIdentifier& media = *rig.identifier;
    const QDir dir(rig.home.path());
    writeFile(dir.filePath("a.mp3"), "x");
    writeFile(dir.filePath("notes.txt"), "x");
    writeFile(dir.filePath("list.dmp"), "a.mp3\r\n@skipped.mp3\r\nhttp://host/s.mp3\r\n");
    writeFile(dir.filePath("list.m3u"), "#EXTM3U\r\n#EXTINF:3,x\r\na.mp3\r\n");
    zipArchive(dir.filePath("album.zip"),
               {{"one.mp3", "x"}, {"cover.jpg", "x"}, {"two.mp2", "x"}, {"three.mp3", "x"}});

    EXPECT_TRUE(PlaylistEditor::entriesFor("http://host/a.mp3", media).isEmpty());
    EXPECT_TRUE(PlaylistEditor::entriesFor(dir.filePath("notes.txt"), media).isEmpty());
    EXPECT_EQ(PlaylistEditor::entriesFor(dir.filePath("a.mp3"), media),
              QStringList({dir.filePath("a.mp3")}));
    EXPECT_EQ(PlaylistEditor::entriesFor(dir.filePath("list.dmp"), media),
              QStringList({dir.filePath("a.mp3"), "http://host/s.mp3"}));
    EXPECT_EQ(PlaylistEditor::entriesFor(dir.filePath("list.m3u"), media),
              QStringList({dir.filePath("a.mp3")}));
    const QString zip = dir.filePath("album.zip");
    EXPECT_EQ(PlaylistEditor::entriesFor(zip, media), QStringList({zip, zip + "1", zip + "2"}));

    // A relative name becomes a full path; a file that cannot be read says so.
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(rig.home.path());
    EXPECT_EQ(PlaylistEditor::entriesFor("a.mp3", media), QStringList({dir.filePath("a.mp3")}));
    QDir::setCurrent(cwd);
    QString problem;
    writeFile(dir.filePath("broken.zip"), "PK not really");
    EXPECT_TRUE(PlaylistEditor::entriesFor(dir.filePath("broken.zip"), media, &problem).isEmpty());
    EXPECT_EQ(problem, "cannot read broken.zip");
    EXPECT_TRUE(PlaylistEditor::entriesFor(dir.filePath("gone.dmp"), media, &problem).isEmpty());
    EXPECT_EQ(problem, "cannot read gone.dmp");
}

class PlaylistEditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        OMBRIX_NEED_MEDIA();
        editor = std::make_unique<PlaylistEditor>(*rig.controller, *rig.store);
    }
    ControllerRig rig;
    std::unique_ptr<PlaylistEditor> editor;
};

TEST_F(PlaylistEditorTest, CommandsKeepTheSelectionWhereTheUserExpectsIt) {
    const QStringList songs = rig.songs(3);
    rig.controller->setPlaylist(songs);
    rig.controller->setCurrentIndex(1);
    EXPECT_EQ(editor->show(), 1) << "the main window's current entry is selected";
    EXPECT_EQ(editor->up(0), 0) << "not beyond the top";
    EXPECT_EQ(editor->down(2), 2) << "not beyond the end";
    EXPECT_EQ(editor->down(0), 1);
    EXPECT_EQ(editor->list().entries(), QStringList({songs[1], songs[0], songs[2]}));
    EXPECT_EQ(editor->remove({2}, 2), 1) << "removing the last selects the new last";
    EXPECT_EQ(editor->remove({0}, 0), 0);
    EXPECT_EQ(editor->remove({0}, 0), -1);
    EXPECT_EQ(editor->statusText(-1), "");

    EXPECT_FALSE(editor->addUrl("http://"));
    EXPECT_TRUE(editor->addUrl("http://x"));
    EXPECT_EQ(editor->list().entries(), QStringList({"http://x"}));
    editor->clear();
    editor->addItems(songs);
    editor->list().add(rig.home.filePath("Upper.MP3"));
    EXPECT_EQ(editor->tagTarget(0), songs[0]);
    EXPECT_EQ(editor->tagTarget(3), "") << "extensions are compared as written";
    editor->sort();
    EXPECT_EQ(editor->list().entries().first(), songs[0]);
    editor->setRandom([](int n) { return n - 1; });
    editor->shuffle();
    EXPECT_EQ(editor->list().count(), 4);

    const QString saved = rig.home.filePath("saved.dmp");
    editor->save(saved);
    EXPECT_EQ(PlaylistFile::load(saved), editor->list().entries());
}

TEST_F(PlaylistEditorTest, ClosingHandsTheListOverAndKeepsThePlayingSong) {
    const QStringList songs = rig.songs(3);
    rig.controller->setPlaylist(songs);
    rig.controller->playEntry(1);
    ASSERT_TRUE(rig.controller->state().playing);
    const quint64 playback = rig.controller->state().playback;

    // Moved and with a new entry in front: the playing song goes on at its new place.
    editor->show();
    editor->list().move(1, 2);
    editor->list().moveRows({0}, 0);
    editor->close(0);
    EXPECT_EQ(rig.controller->playlist(), QStringList({songs[0], songs[2], songs[1]}));
    EXPECT_EQ(rig.controller->currentIndex(), 2);
    EXPECT_EQ(rig.controller->state().playback, playback) << "playback undisturbed";

    // Discarded: the main playlist stays.
    editor->show();
    editor->clear();
    editor->setDiscard();
    editor->close(-1);
    EXPECT_EQ(rig.controller->playlist().size(), 3);

    // The playing song removed: the selected entry plays instead.
    ASSERT_TRUE(rig.playPastOneSecond());
    editor->show();
    EXPECT_FALSE(editor->discard()) << "showing clears discard";
    editor->remove({2}, 2);
    editor->close(0);
    EXPECT_EQ(rig.controller->playlist(), QStringList({songs[0], songs[2]}));
    EXPECT_EQ(rig.controller->currentIndex(), 0);
    EXPECT_EQ(rig.controller->state().currentEntry, songs[0]);
    EXPECT_NE(rig.controller->state().playback, playback);

    // Emptied: playback stops and the display shows the program's name alone.
    editor->show();
    editor->clear();
    editor->close(-1);
    QCoreApplication::processEvents();
    const PlayerState st = rig.controller->state();
    EXPECT_FALSE(st.playing);
    EXPECT_EQ(st.count, 0);
    EXPECT_EQ(st.line1, PlaybackController::kDisplayName);
    EXPECT_EQ(st.line2, "");
    EXPECT_EQ(st.line3, "");
}

TEST_F(PlaylistEditorTest, FilesAddedByTheMainWindowJoinTheEditsInsteadOfReplacingThem) {
    const QStringList songs = rig.songs(4);
    rig.controller->setPlaylist(songs.mid(0, 2));
    editor->show();
    editor->remove({0}, 0);                       // an edit not handed over yet
    rig.controller->addFiles({songs[2]}, false);  // the main window then asks for a refill
    editor->refill();
    EXPECT_EQ(editor->list().entries(), QStringList({songs[1], songs[2]}));
    // A main playlist that was replaced is shown anew.
    rig.controller->clearPlaylist();
    rig.controller->addFiles({songs[3]}, false);
    editor->refill();
    EXPECT_EQ(editor->list().entries(), QStringList({songs[3]}));
}

TEST_F(PlaylistEditorTest, EntriesThePlayerRejectedAreNotHandedBack) {
    const QStringList songs = rig.songs(3);
    rig.controller->setPlaylist(songs);
    editor->show();
    QFile::remove(songs[1]);
    rig.controller->playEntry(1);  // "file not found": the entry leaves the playlist
    ASSERT_EQ(rig.controller->playlist(), QStringList({songs[0], songs[2]}));
    EXPECT_EQ(editor->list().entries(), QStringList({songs[0], songs[2]}));
    editor->close(0);
    EXPECT_EQ(rig.controller->playlist(), QStringList({songs[0], songs[2]}));
}

TEST_F(PlaylistEditorTest, StatusLineNamesThePlayingFileAndShowsTheTagTitle) {
    const QStringList songs = rig.songs(2);
    rig.controller->setPlaylist(songs);
    rig.controller->playEntry(0);
    editor->show();
    EXPECT_EQ(editor->statusText(0), "playing - song0.mp3");
    EXPECT_EQ(editor->statusText(1), songs[1]);
    // Selecting builds the row's title with tags even when preloadtag is off.
    EXPECT_TRUE(editor->list().titleAt(1).startsWith("song1 (0:0"));
    EXPECT_EQ(editor->rowForPlaying(1), 1);
    editor->list().add("/elsewhere/a.zip3");
    EXPECT_EQ(editor->statusText(2), "/elsewhere/a.zip") << "archive members show the archive";
}

TEST(DesktopPlaylist, NamesCountUpAndStayInTheFolder) {
    QTemporaryDir desktop;
    EXPECT_EQ(DesktopPlaylist::defaultName(desktop.path()), "favesongs1.dmp");
    PlaylistFile::save(DesktopPlaylist::target(desktop.path(), "favesongs1.dmp"), {"/a.mp3"});
    EXPECT_EQ(DesktopPlaylist::defaultName(desktop.path()), "favesongs2.dmp");
    EXPECT_EQ(DesktopPlaylist::target(desktop.path(), "party.txt"), desktop.filePath("party.dmp"));
    EXPECT_EQ(DesktopPlaylist::target(desktop.path(), "../../etc/evil"),
              desktop.filePath("evil.dmp"));
    EXPECT_EQ(DesktopPlaylist::target(desktop.path(), "  "), "");
}

}  // namespace
}  // namespace ombrix::test

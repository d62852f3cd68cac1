// The playlist window itself, driven with Qt Test events.
#include <gtest/gtest.h>

#include <QDir>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QTest>

#include "ombrix/settings/IniDocument.h"
#include "ombrix/windows/common/WindowPlacement.h"
#include "ombrix/windows/playlist/PlaylistEditor.h"
#include "ombrix/windows/playlist/PlaylistTable.h"
#include "ombrix/windows/playlist/PlaylistView.h"
#include "ombrix/windows/playlist/PlaylistWindow.h"
#include "support/ControllerRig.h"
#include "support/Files.h"

namespace ombrix::test {
namespace {

class PlaylistWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        OMBRIX_NEED_MEDIA();
        songs = rig.songs(4);
        rig.controller->setPlaylist(songs);
        rig.controller->setCurrentIndex(2);
    }
    PlaylistWindow& window() {
        if (!window_) {
            PlaylistWindow::Hooks hooks;
            hooks.editTag = [this](const QString& f) { tagged << f; };
            hooks.tell = [this](const QString& t) { told << t; };
            window_ = std::make_unique<PlaylistWindow>(*rig.controller, *rig.store, hooks);
        }
        return *window_;
    }
    void drop(const QModelIndexList& rows, int onRow) {
        PlaylistView& v = window().view();
        std::unique_ptr<QMimeData> data(window().editor().list().mimeData(rows));
        const QPoint at = onRow < 0 ? QPoint(5, v.viewport()->height() - 2)
                                    : v.visualRect(v.model()->index(onRow, 0)).center();
        // As a real drag does: enter, move, drop.
        QDragEnterEvent enter(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(v.viewport(), &enter);
        QDragMoveEvent move(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(v.viewport(), &move);
        QDropEvent event(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(v.viewport(), &event);
    }
    QStringList entries() { return window().editor().list().entries(); }

    ControllerRig rig;
    QStringList songs, tagged, told;
    std::unique_ptr<PlaylistWindow> window_;
};

TEST_F(PlaylistWindowTest, ShowsTheMainPlaylistWithItsButtons) {
    window().show();
    EXPECT_EQ(entries(), songs);
    EXPECT_EQ(window().view().currentRow(), 2);
    EXPECT_EQ(window().statusLine(), songs[2]);
    for (const char* name : {"btnOpen", "btnSave", "btnDeleteAll", "btnCut", "btnUp", "btnDown",
                             "btnShuffle", "btnsort", "btnPlay", "btnEditTag", "btnAddURL"})
        EXPECT_NE(window().button(name), nullptr) << name;
    if (const QByteArray dir = qgetenv("OMBRIX_SHOT_DIR"); !dir.isEmpty()) {
        window().resize(460, 300);
        window().grab().save(QDir(QString::fromLocal8Bit(dir)).filePath("playlist-window.png"));
    }
}

TEST_F(PlaylistWindowTest, KeysAndButtonsEditAndEscDiscards) {
    window().show();
    PlaylistView& v = window().view();
    v.setFocus();
    QTest::keyClick(&v, Qt::Key_Delete);
    EXPECT_EQ(entries(), QStringList({songs[0], songs[1], songs[3]}));
    EXPECT_EQ(v.currentRow(), 2);
    window().button("btnUp")->trigger();
    EXPECT_EQ(entries(), QStringList({songs[0], songs[3], songs[1]}));
    EXPECT_EQ(v.currentRow(), 1);
    window().button("btnEditTag")->trigger();
    EXPECT_EQ(tagged, QStringList({songs[3]}));
    QTest::keyClick(&window(), Qt::Key_Escape);
    EXPECT_FALSE(window().isVisible());
    EXPECT_EQ(rig.controller->playlist(), songs) << "Esc discards the changes";

    window().show();
    EXPECT_EQ(entries(), songs);
    window().button("btnCut")->trigger();
    window().close();
    EXPECT_EQ(rig.controller->playlist(), QStringList({songs[0], songs[1], songs[3]}));
}

TEST_F(PlaylistWindowTest, DraggedEntriesLandOnTheRowUnderThePointer) {
    window().show();
    window().resize(400, 400);
    Playlist& list = window().editor().list();
    drop({list.index(0)}, 2);
    EXPECT_EQ(entries(), QStringList({songs[1], songs[2], songs[0], songs[3]}));
    EXPECT_EQ(window().view().selectedRows(), std::vector<int>({2}));
    drop({list.index(0)}, -1);  // below the last line
    EXPECT_EQ(entries().last(), songs[1]);
    EXPECT_EQ(window().view().selectedRows(), std::vector<int>({3}));
}

TEST_F(PlaylistWindowTest, DroppedFolderAddsSubfoldersFirstWithoutBlocking) {
    QDir root(rig.home.filePath("drop"));
    root.mkpath("sub");
    writeFile(root.filePath("top.mp3"), "x");
    writeFile(root.filePath("readme.txt"), "x");
    writeFile(root.filePath("sub/inner.mp3"), "x");
    window().show();
    window().editor().clear();
    window().addPaths({root.path(), rig.home.filePath("song0.mp3")});
    EXPECT_EQ(entries(), QStringList({songs[0]})) << "files at once, the folder later";
    ASSERT_TRUE(waitFor([&] { return !window().searching(); }));
    EXPECT_EQ(entries(),
              QStringList({songs[0], root.filePath("sub/inner.mp3"), root.filePath("top.mp3")}));
    EXPECT_EQ(window().statusLine(), "2 files added");
}

TEST_F(PlaylistWindowTest, AppearanceAndPlaceAreKeptInTheSettings) {
    rig.store->updateMain([](IniDocument& ini) {
        ini.writeInteger("fplaylist", "ListBox1.Color", 0x0000ff);  // red, stored as BGR
        ini.writeWindowPosition("form", "fplaylist", {-5000, -5000, 300, 200});
    });
    window().show();
    EXPECT_EQ(window().view().palette().color(QPalette::Base), QColor(255, 0, 0));
    EXPECT_GE(window().x(), -100) << "a place off every screen is moved onto one";
    window_.reset();
    const IniDocument ini = rig.store->readMain();
    EXPECT_EQ(ini.readInteger("fplaylist", "ListBox1.Color", 0), 0x0000ff);
    EXPECT_TRUE(ini.readWindowPosition("form", "fplaylist").has_value());
}

TEST_F(PlaylistWindowTest, RowsOnScreenShowTheirTagsInColumns) {
    const QString tagged = rig.song("tagged.mp3", "Evening", "Choir");
    rig.controller->setPlaylist(QStringList(songs) << tagged);
    window().show();
    const PlaylistTable& table = window().editor().table();
    // Shown rows are asked for by the view as it paints them, not only the played ones.
    ASSERT_TRUE(waitFor([&] { return table.shownText(4, PlaylistTable::kTitle) == "Evening"; }));
    EXPECT_EQ(table.shownText(4, PlaylistTable::kArtist), "Choir");
    EXPECT_EQ(table.shownText(0, PlaylistTable::kLength), "0:01");
    EXPECT_EQ(window().view().model(), &table);
}

TEST_F(PlaylistWindowTest, HeaderClicksSortAndColumnWidthsAreKept) {
    const QString b = rig.song("b.mp3", "Beta", "Yan"), a = rig.song("a.mp3", "Alpha", "Zed");
    rig.controller->setPlaylist({a, b});
    window().show();
    const PlaylistTable& table = window().editor().table();
    ASSERT_TRUE(waitFor([&] { return table.info(a) && table.info(b); }));
    QHeaderView* header = window().view().header();
    auto click = [&](int column) {
        const QPoint at(header->sectionViewportPosition(column) + 5, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    };
    click(PlaylistTable::kArtist);
    EXPECT_EQ(entries(), QStringList({b, a}));
    EXPECT_EQ(header->sortIndicatorSection(), PlaylistTable::kArtist);
    click(PlaylistTable::kArtist);  // again: the other way round
    EXPECT_EQ(entries(), QStringList({a, b}));
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    window().button("btnShuffle")->trigger();
    EXPECT_EQ(header->sortIndicatorSection(), -1) << "a shuffled list is sorted by nothing";

    window().view().setColumnWidth(PlaylistTable::kAlbum, 77);
    window_.reset();
    EXPECT_EQ(rig.store->readMain().readInteger("fplaylist", "ListBox1.AlbumWidth", 0), 77);
    EXPECT_EQ(window().view().columnWidth(PlaylistTable::kAlbum), 77);
}

TEST_F(PlaylistWindowTest, DrawnButtonGlyphsFollowThePalette) {
    if (QIcon::hasThemeIcon("view-sort-ascending")) GTEST_SKIP() << "the theme draws it";
    window().show();
    auto glyph = [&] { return window().button("btnsort")->icon().pixmap(24).toImage(); };
    const QImage before = glyph();
    QPalette palette = window().palette();
    palette.setColor(QPalette::ButtonText, Qt::red);  // as a new panel's palette does
    window().setPalette(palette);
    EXPECT_NE(glyph(), before) << "a glyph in the old text colour could not be seen";
}

TEST(WindowPlacement, PlacesOffEveryScreenComeBackToThePrimaryOne) {
    const QList<QRect> screens{{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
    const QRect primary = screens[0];
    const QRect onSecond(2000, 100, 400, 300);
    EXPECT_EQ(WindowPlacement::keptOnScreen(onSecond, screens, primary), onSecond);
    const QRect peeking(1900, 1050, 400, 300);  // 20 x 30 visible: too little to grab
    EXPECT_EQ(WindowPlacement::keptOnScreen(peeking, screens, primary), QRect(0, 0, 400, 300));
    const QRect huge(-9000, -9000, 4000, 3000);
    EXPECT_EQ(WindowPlacement::keptOnScreen(huge, screens, primary), QRect(0, 0, 1920, 1080));
}

}  // namespace
}  // namespace ombrix::test

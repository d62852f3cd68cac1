// The playlist window's columns: tags read off the main thread for the rows that are shown,
// sorting by what each column shows, and the list's edits arriving as the same row signals.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QItemSelectionModel>

#include "ombrix/library/Playlist.h"
#include "ombrix/library/SongLength.h"
#include "ombrix/windows/playlist/PlaylistEditor.h"
#include "ombrix/windows/playlist/PlaylistTable.h"
#include "support/ControllerRig.h"
#include "support/Files.h"

namespace ombrix::test {
namespace {

using T = PlaylistTable;

class PlaylistTableTest : public ::testing::Test {
protected:
    void SetUp() override { OMBRIX_NEED_MEDIA(); }
    /// A copy of @p source in the home with an ID3v1 tag when @p title is given.
    QString song(const QString& name, const QByteArray& title = {}, const QByteArray& artist = {},
                 const QByteArray& album = {}, const QString& source = media().mp3Short) {
        QByteArray bytes = readFile(source);
        if (!title.isNull()) bytes += id3v1(title, artist, album);
        const QString path = rig.home.filePath(name);
        writeFile(path, bytes);
        return path;
    }
    /// Asks for every row as a view painting them would, and waits until all have arrived.
    static bool showAll(T& table) {
        for (int r = 0; r < table.rowCount(); ++r)
            table.data(table.index(r, T::kTitle), Qt::DisplayRole);
        return waitFor([&] {
            for (const QString& e : table.list().entries())
                if (e.startsWith("/") && !table.info(e)) return false;
            return true;
        });
    }
    static QStringList column(const T& table, int c) {
        QStringList out;
        for (int r = 0; r < table.rowCount(); ++r) out << table.shownText(r, c);
        return out;
    }

    ControllerRig rig;
    Playlist list{false, {}};
};

TEST_F(PlaylistTableTest, ColumnsShowTheTagsOfEveryRowShown) {
    T table(list, SongLength::decoder());
    QAbstractItemModelTester tester(&table, QAbstractItemModelTester::FailureReportingMode::Fatal);
    const QString tagged = song("tagged.mp3", "Morning", "Band", "First Light");
    const QString plain = song("plain.mp3");
    const QString gone = rig.home.filePath("gone.mp3");
    list.addEntries({tagged, plain, gone, "http://host/x.mp3"});
    EXPECT_EQ(column(table, T::kTitle),
              QStringList({"tagged", "plain", "gone", "http://host/x.mp3"}))
        << "file names until the tags arrive";
    ASSERT_TRUE(showAll(table));
    EXPECT_EQ(column(table, T::kTitle),
              QStringList({"Morning", "plain", "gone", "http://host/x.mp3"}));
    EXPECT_EQ(column(table, T::kArtist), QStringList({"Band", "", "", ""}));
    EXPECT_EQ(column(table, T::kAlbum), QStringList({"First Light", "", "", ""}));
    EXPECT_EQ(column(table, T::kLength), QStringList({"0:01", "0:01", "", ""}));
    EXPECT_EQ(table.headerData(T::kArtist, Qt::Horizontal, Qt::DisplayRole).toString(), "Artist");
    EXPECT_EQ(table.data(table.index(0, T::kAlbum), Playlist::kEntryRole).toString(), tagged);
    EXPECT_EQ(T::lengthText(3'725'400), "62:05") << "minutes are not limited to 59";
}

TEST_F(PlaylistTableTest, OnlyTheRowsAskedForAreRead) {
    // Eleven thousand entries: the rows on screen are read, the rest are not touched.
    T table(list, SongLength::decoder());
    QStringList entries;
    for (int i = 0; i < 11000; ++i) entries << rig.home.filePath(QString("missing%1.mp3").arg(i));
    list.setEntries(entries);
    for (int r = 100; r < 130; ++r) table.data(table.index(r, T::kTitle), Qt::DisplayRole);
    ASSERT_TRUE(waitFor([&] { return table.info(entries[129]) && table.info(entries[100]); }));
    QCoreApplication::processEvents();
    int read = 0;
    for (const QString& e : entries) read += table.info(e) ? 1 : 0;
    EXPECT_EQ(read, 30);
    EXPECT_EQ(table.shownText(120, T::kTitle), "missing120");
}

TEST_F(PlaylistTableTest, SortsByWhatEachColumnShows) {
    T table(list, SongLength::decoder());
    const QString a = song("a.mp3", "beta", "Zed", "X");
    const QString b = song("b.mp3", "Alpha", "yan", "Y");
    const QString c = song("c.mp3", {}, {}, {}, media().mp3Long);  // no tag, longer
    list.addEntries({a, b, c});
    ASSERT_TRUE(showAll(table));
    auto sorted = [&](int column, Qt::SortOrder order) {
        return PlaylistOrder::permuted(list.entries(), table.sortOrder(column, order));
    };
    EXPECT_EQ(sorted(T::kTitle, Qt::AscendingOrder), QStringList({b, a, c}));
    EXPECT_EQ(sorted(T::kArtist, Qt::AscendingOrder), QStringList({c, b, a}))
        << "empty first, then without regard to case";
    EXPECT_EQ(sorted(T::kAlbum, Qt::DescendingOrder), QStringList({b, a, c}));
    EXPECT_EQ(sorted(T::kLength, Qt::DescendingOrder).first(), c) << "by time, not by text";
}

TEST_F(PlaylistTableTest, EditorSortsAToZByTheShownTitles) {
    PlaylistEditor editor(*rig.controller, *rig.store);
    const QString a = song("a.mp3", "Zulu"), b = song("b.mp3", "Alpha");
    rig.controller->setPlaylist({a, b});
    editor.show();
    ASSERT_TRUE(showAll(editor.table()));
    editor.sort();
    EXPECT_EQ(editor.list().entries(), QStringList({b, a})) << "Alpha before Zulu, not a before b";
    editor.sortBy(T::kTitle, Qt::DescendingOrder);
    EXPECT_EQ(editor.list().entries(), QStringList({a, b}));
}

TEST_F(PlaylistTableTest, ListEditsKeepTheSelectionOnTheirEntriesInEveryColumn) {
    T table(list, {});
    QAbstractItemModelTester tester(&table, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QStringList entries;
    for (int i = 0; i < 10; ++i) entries << QString("/m/%1.mp3").arg(i);
    list.addEntries(entries);
    QItemSelectionModel selection(&table);
    for (int row : {1, 4, 8})
        selection.select(table.index(row, 0),
                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
    list.moveRows({8, 1, 4}, 0);  // scattered: one layout change
    EXPECT_EQ(selection.selectedRows(0).size(), 3);
    for (const QModelIndex& i : selection.selectedIndexes())
        EXPECT_LT(i.row(), 3) << "column " << i.column();
    EXPECT_EQ(selection.selectedIndexes().size(), 3 * T::kColumnCount);
    list.move(0, 9);
    list.deleteRows({2, 3});
    list.add("http://host/y.mp3");
    EXPECT_EQ(table.rowCount(), 9);
    EXPECT_EQ(table.shownText(8, T::kTitle), "http://host/y.mp3");
    list.clear();
    EXPECT_EQ(table.rowCount(), 0);
}

}  // namespace
}  // namespace ombrix::test

// The playlist model: exact row signals, the shuffle order, and titles read off the main
// thread only for the rows that are shown.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QItemSelectionModel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <random>

#include "ombrix/library/Playlist.h"
#include "ombrix/library/SongTag.h"
#include "support/ControllerRig.h"

namespace ombrix::test {
namespace {

QStringList numbered(int n) {
    QStringList out;
    for (int i = 0; i < n; ++i) out << QString("/m/%1.mp3").arg(i);
    return out;
}

TEST(PlaylistModel, EditsEmitRowSignalsNotResets) {
    Playlist list(false, {});
    QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy resets(&list, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&list, &QAbstractItemModel::rowsInserted);
    QSignalSpy moved(&list, &QAbstractItemModel::rowsMoved);
    QSignalSpy removed(&list, &QAbstractItemModel::rowsRemoved);

    list.addEntries(numbered(6));
    list.add("http://host/x.mp3");
    EXPECT_EQ(inserted.count(), 2);
    list.move(0, 3);  // down
    list.move(3, 0);  // and back up
    EXPECT_EQ(list.entries(), QStringList(numbered(6)) << "http://host/x.mp3");
    EXPECT_EQ(list.moveRows({1, 2}, 5), 5);  // a block to the end
    EXPECT_EQ(list.entries().mid(5), QStringList({"/m/1.mp3", "/m/2.mp3"}));
    EXPECT_EQ(moved.count(), 3);
    list.deleteRows({6, 0, 5, 0});  // scattered and repeated
    EXPECT_EQ(list.entries(),
              QStringList({"/m/3.mp3", "/m/4.mp3", "/m/5.mp3", "http://host/x.mp3"}));
    EXPECT_EQ(removed.count(), 2) << "one signal per run of neighbouring rows";
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(list.displayTitles(), QStringList({"3.mp3", "4.mp3", "5.mp3", "http://host/x.mp3"}));
}

TEST(PlaylistModel, ScatteredMoveKeepsTheSelectionOnTheMovedEntries) {
    Playlist list(false, {});
    list.addEntries(numbered(10));
    QItemSelectionModel selection(&list);
    for (int row : {1, 4, 8}) selection.select(list.index(row), QItemSelectionModel::Select);
    EXPECT_EQ(list.moveRows({8, 1, 4}, 0), 0);
    EXPECT_EQ(list.entries().mid(0, 4),
              QStringList({"/m/1.mp3", "/m/4.mp3", "/m/8.mp3", "/m/0.mp3"}));
    QStringList selected;
    for (const QModelIndex& i : selection.selectedIndexes())
        selected << list.data(i, Playlist::kEntryRole).toString();
    selected.sort();
    EXPECT_EQ(selected, QStringList({"/m/1.mp3", "/m/4.mp3", "/m/8.mp3"}));
    // Past the end is clamped: the rows go last.
    list.moveRows({0}, 1000);
    EXPECT_EQ(list.entries().last(), "/m/1.mp3");
    EXPECT_EQ(list.count(), 10);
}

TEST(PlaylistModel, FastShuffleGivesTheOrderOfTheMoveSequence) {
    // The fast order must equal taking entry i out and inserting it at random(n), for i = 0..n-1.
    for (int n : {1, 2, 3, 17, 500}) {
        std::mt19937 engine(n);
        std::vector<int> draws;
        for (int i = 0; i < n; ++i) draws.push_back(int(engine() % unsigned(n)));
        auto scripted = [&draws, k = std::size_t(0)](int) mutable { return draws[k++]; };
        QStringList slow = numbered(n);
        for (int i = 0; i < n; ++i) slow.move(i, draws[std::size_t(i)]);
        QStringList fast = numbered(n);
        PlaylistOrder::shuffle(fast, scripted);
        EXPECT_EQ(fast, slow) << n << " entries";
    }
    Playlist list(false, {});
    QSignalSpy resets(&list, &QAbstractItemModel::modelReset);
    list.addEntries(numbered(1000));
    list.shuffle(PlaylistOrder::systemRandom());
    QStringList sorted = list.entries();
    PlaylistOrder::sort(sorted);
    QStringList expected = numbered(1000);
    PlaylistOrder::sort(expected);
    EXPECT_EQ(sorted, expected) << "nothing lost or doubled";
    EXPECT_EQ(resets.count(), 1);
}

TEST(PlaylistModel, TagTitlesAreReadOnlyForShownRowsAndArriveAsRowChanges) {
    OMBRIX_NEED_MEDIA();
    QTemporaryDir dir;
    QStringList files;
    for (int i = 0; i < 50; ++i) {
        const QString f = dir.filePath(QString("s%1.mp3").arg(i));
        QFile::copy(media().mp3Short, f);
        QFile(f).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        files << f;
    }
    SongTag tag;
    tag.clear(files[3]);
    tag.title = "Morning";
    tag.artist = "Band";
    ASSERT_TRUE(tag.write(files[3]));

    Playlist list(true, SongLength::decoder());
    list.addEntries(files);
    QSignalSpy changed(&list, &QAbstractItemModel::dataChanged);
    // The view asks for what it shows: first the file name, the tag title later.
    EXPECT_EQ(list.data(list.index(3), Qt::DisplayRole).toString(), "s3.mp3");
    ASSERT_TRUE(waitFor([&] { return changed.count() > 0; }));
    EXPECT_EQ(changed.first().at(0).value<QModelIndex>().row(), 3);
    EXPECT_TRUE(list.titleAt(3).startsWith("Morning / Band (0:0")) << list.titleAt(3).toStdString();
    EXPECT_EQ(list.cachedCount(), 1) << "rows nobody looked at were not read";

    // A tagless MPEG file gets its name and time; the cache survives a re-fill.
    list.data(list.index(7), Qt::DisplayRole);
    ASSERT_TRUE(waitFor([&] { return list.cachedCount() == 2; }));
    EXPECT_TRUE(list.titleAt(7).startsWith("s7 (0:0"));
    list.setEntries(files);
    EXPECT_EQ(list.titleAt(3), list.titleAt(3));
    EXPECT_TRUE(list.titleAt(3).startsWith("Morning"));
}

}  // namespace
}  // namespace ombrix::test

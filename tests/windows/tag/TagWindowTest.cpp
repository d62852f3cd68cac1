// The tagger window driven by Qt Test events on real files.
#include <gtest/gtest.h>

#include <QFileSystemModel>
#include <QTreeView>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include "TaggerSupport.h"
#include "ombrix/settings/IniDocument.h"
#include "ombrix/windows/tag/TagWindow.h"

namespace ombrix::test {
namespace {

class TagWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        OMBRIX_NEED_MEDIA();
        window = std::make_unique<TagWindow>(*world.store, *world.controller);
        window->setDialogs(
            [this](const QString& q) {
                questions << q;
                return true;
            },
            [this](const QString& m) { messages << m; });
    }

    template <typename T>
    T* child(const char* name) {
        T* w = window->findChild<T*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    /// Opens the window for @p file and waits until the list shows @p count files.
    bool openWithList(const QString& file, int count) {
        window->openFor(file);
        return waitFor([&] { return window->listedFiles().size() == count; });
    }
    void clickInList(const QString& file) {
        auto* list = child<QListView>("fileList");
        const auto* model = list->model();
        for (int row = 0; row < model->rowCount(list->rootIndex()); ++row) {
            const QModelIndex index = model->index(row, 0, list->rootIndex());
            if (index.data().toString() != QFileInfo(file).fileName()) continue;
            list->scrollTo(index);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualRect(index).center());
            return;
        }
        ADD_FAILURE() << "not listed: " << file.toStdString();
    }
    void typeTitle(const QString& text) {
        auto* title = child<QLineEdit>("title");
        title->selectAll();
        QTest::keyClicks(title, text);
    }

    TaggerWorld world;
    std::unique_ptr<TagWindow> window;
    QStringList questions;
    QStringList messages;
};

TEST_F(TagWindowTest, ClickTypeOkWritesTheTagAndTheWindowShowsTheNamedControls) {
    const QString a = world.mp3("a.mp3");
    const QString b = world.mp3("B.MP3");  // listed whatever the letter case
    world.wave("c.wav");
    world.mp3("notes.txt");
    EXPECT_EQ(window->windowTitle(), "Ombrix Tagger");
    ASSERT_TRUE(openWithList(a, 3)) << window->listedFiles().join(' ').toStdString();
    EXPECT_EQ(window->windowTitle(), "a.mp3");
    EXPECT_EQ(window->listFolder(), world.songFolder());
    EXPECT_EQ(child<QTreeView>("folderTree")->currentIndex().data().toString(),
              QFileInfo(world.songFolder()).fileName())
        << "the tree moved to the file's folder";

    clickInList(b);
    EXPECT_EQ(window->editor().currentFile(), b);
    EXPECT_EQ(window->windowTitle(), "B.MP3");
    EXPECT_FALSE(child<QLineEdit>("copyright")->isEnabled()) << "ID3 files have no copyright";
    auto* genre = child<QComboBox>("genre");
    EXPECT_EQ(genre->count(), 256);
    EXPECT_FALSE(genre->isEditable());
    EXPECT_EQ(child<QLineEdit>("title")->maxLength(), 30);
    typeTitle("Typed Title");
    genre->setCurrentIndex(8);
    QTest::mouseClick(child<QPushButton>("ok"), Qt::LeftButton);
    EXPECT_FALSE(window->isVisible()) << messages.join('\n').toStdString();
    EXPECT_EQ(tagOf(b).title, "Typed Title");
    EXPECT_EQ(tagOf(b).genreIndex, 8);
    EXPECT_TRUE(messages.isEmpty());

    // The place is kept under "ftag" in section "form".
    EXPECT_TRUE(world.store->readMain().readWindowPosition("form", "ftag").has_value());

    // RIFF mode: copyright and source open, the genre takes free text.
    ASSERT_TRUE(openWithList(world.songFolder() + "/c.wav", 3));
    EXPECT_TRUE(child<QLineEdit>("copyright")->isEnabled());
    EXPECT_TRUE(child<QLineEdit>("source")->isEnabled());
    EXPECT_TRUE(genre->isEditable());
    EXPECT_TRUE(child<QLabel>("info")->text().endsWith("kbyte (RIFF MP3)"));

    QDir().mkpath(OMBRIX_SHOT_DIR);
    window->resize(window->sizeHint().expandedTo(QSize(760, 420)));
    EXPECT_TRUE(window->grab().save(QStringLiteral(OMBRIX_SHOT_DIR "/tagger-window.png")));
}

// The tree shows the opened file's folder once; a folder the user picks afterwards stays, also
// when the folders are read again (as after a save).
TEST_F(TagWindowTest, TheFolderTreeStaysWhereTheUserTookIt) {
    const QString song = world.mp3("one.mp3");
    ASSERT_TRUE(waitFor([&] {
        window->openFor(song);
        return !window->listedFiles().isEmpty();
    }));
    auto* tree = child<QTreeView>("folderTree");
    auto* folders = qobject_cast<QFileSystemModel*>(tree->model());
    ASSERT_TRUE(folders);
    const QString elsewhere = QFileInfo(song).absolutePath() + "/..";
    tree->setCurrentIndex(folders->index(QFileInfo(elsewhere).canonicalFilePath()));
    const QString chosen = folders->filePath(tree->currentIndex());
    emit folders->directoryLoaded(QFileInfo(song).absolutePath());
    EXPECT_EQ(folders->filePath(tree->currentIndex()), chosen);
}

TEST_F(TagWindowTest, ClickingAnotherFileDiscardsTypingUnlessAutomaticallySaveIsTicked) {
    const QString a = world.mp3("a.mp3");
    const QString b = world.mp3("b.mp3");
    ASSERT_TRUE(openWithList(a, 2));

    typeTitle("lost");
    clickInList(b);
    EXPECT_EQ(window->editor().currentFile(), b);
    EXPECT_FALSE(tagOf(a).found()) << "Automatically Save off: the typing is discarded";

    child<QAction>("autoSave")->setChecked(true);
    typeTitle("kept");
    clickInList(a);
    EXPECT_EQ(window->editor().currentFile(), a);
    EXPECT_EQ(tagOf(b).title, "kept") << "saved into the previous file before loading";
    EXPECT_EQ(child<QLineEdit>("title")->text(), "a");

    // A key released in the list loads the file the selection moved to.
    auto* list = child<QListView>("fileList");
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(window->editor().currentFile(), b);
}

TEST_F(TagWindowTest, AFailedAutomaticSaveKeepsTheTypingAndTheFile) {
    const QString a = world.mp3("a.mp3");
    const QString b = world.mp3("b.mp3");
    ASSERT_TRUE(openWithList(a, 2));
    child<QAction>("autoSave")->setChecked(true);
    if (!makeReadOnly(a)) GTEST_SKIP() << "cannot make a file read-only here";
    typeTitle("typed");
    clickInList(b);
    makeWritable(a);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("a.mp3")) << messages[0].toStdString();
    EXPECT_EQ(window->editor().currentFile(), a) << "the typing stays for another try";
    EXPECT_EQ(child<QLineEdit>("title")->text(), "typed");
    EXPECT_FALSE(tagOf(a).found());
}

TEST_F(TagWindowTest, UnifyFromTheWindowAsksThenWritesEveryListedFile) {
    QStringList files;
    for (int i = 0; i < 5; ++i) files << world.mp3(QString("s%1.mp3").arg(i));
    ASSERT_TRUE(openWithList(files[2], 5));
    auto* year = child<QLineEdit>("year");
    year->selectAll();
    QTest::keyClicks(year, "1984");
    window->unify(TagEditor::Field::Year);
    ASSERT_EQ(questions, QStringList{"Do you unify the year of 5 files with \"1984\"?"});
    EXPECT_TRUE(window->unifyRunning()) << "runs from the event loop, a file at a time";
    ASSERT_TRUE(waitFor([&] { return !window->unifyRunning(); }));
    for (const QString& f : files) EXPECT_EQ(tagOf(f).year, "1984") << f.toStdString();
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

}  // namespace
}  // namespace ombrix::test

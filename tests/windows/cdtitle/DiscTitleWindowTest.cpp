// The CD title editor driven by Qt Test events on a disc record and a real database file.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include "ombrix/library/DiscDatabase.h"
#include "ombrix/library/DiscRecord.h"
#include "ombrix/settings/IniDocument.h"
#include "ombrix/settings/ProcessorFeatures.h"
#include "ombrix/settings/SettingsStore.h"
#include "ombrix/windows/cdtitle/DiscTitleWindow.h"
#include "support/CddbServer.h"
#include "support/Files.h"

namespace ombrix::test {
namespace {

class DiscTitleWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        record.readToc({0, 4500, 9000}, {4500, 4500, 6000});
        window = std::make_unique<DiscTitleWindow>(record, db, store);
        window->setTell([this](const QString& m) { messages << m; });
        window->show();
    }

    template <typename T>
    T* child(const char* name) {
        return window->findChild<T*>(QString::fromLatin1(name));
    }

    QTemporaryDir home;
    SettingsStore store{Home(home.path()), ProcessorFeatures::detect()};
    DiscDatabase db{QDir(home.path()).filePath("cddb.ini")};
    DiscRecord record;
    std::unique_ptr<DiscTitleWindow> window;
    QStringList messages;
};

}  // namespace

// What the window shows of a record: its ID, the tracks with their lengths, the first track.
TEST_F(DiscTitleWindowTest, ShowsTheRecordWithSaveDisabled) {
    EXPECT_EQ(window->windowTitle(), "CD Informaion");
    EXPECT_TRUE(window->findChild<QLabel*>()->text().startsWith("DISC ID : " + record.discId()));
    auto* tracks = child<QListWidget>("tracklist");
    ASSERT_EQ(tracks->count(), 3);
    EXPECT_EQ(tracks->item(2)->text(), "Track 3  (1:20)");
    EXPECT_EQ(tracks->currentRow(), 0);
    EXPECT_EQ(child<QLineEdit>("title")->text(), "Track 1");
    EXPECT_EQ(child<QComboBox>("category")->currentText(), "rock");
    EXPECT_EQ(child<QSpinBox>("playorder")->maximum(), 3);
    EXPECT_FALSE(child<QPushButton>("save")->isEnabled());
    EXPECT_FALSE(window->editor().musicBrainzLabel().isEmpty());

    // Filling again (a new record) is no edit of the user's.
    record.setDiscTitle("Filled");
    window->showRecord();
    EXPECT_FALSE(child<QPushButton>("save")->isEnabled());
    EXPECT_EQ(child<QLineEdit>("disctitle")->text(), "Filled");

    QDir().mkpath(OMBRIX_SHOT_DIR);
    window->resize(window->sizeHint().expandedTo(QSize(420, 460)));
    EXPECT_TRUE(window->grab().save(QStringLiteral(OMBRIX_SHOT_DIR "/cd-information.png")));
}

// The arrow keys store the fields and move between tracks, never past the first or last;
// typing enables save, and text beyond ASCII selects "2byte"; save writes the database.
TEST_F(DiscTitleWindowTest, ArrowKeysTypingAndTwoByteTitles) {
    auto* title = child<QLineEdit>("title");
    auto* info = child<QLineEdit>("trackinfo");
    title->setFocus();
    QTest::keyClick(title, Qt::Key_Up);
    EXPECT_EQ(window->editor().selected(), 0);
    title->selectAll();
    QTest::keyClicks(title, "Opening");
    EXPECT_TRUE(child<QPushButton>("save")->isEnabled());
    QTest::keyClicks(info, "guest");
    QTest::keyClick(info, Qt::Key_Down);
    EXPECT_EQ(window->editor().selected(), 1);
    EXPECT_EQ(child<QListWidget>("tracklist")->currentRow(), 1);
    EXPECT_EQ(title->text(), "Track 2");
    QTest::keyClick(title, Qt::Key_Down);
    QTest::keyClick(title, Qt::Key_Down);
    EXPECT_EQ(window->editor().selected(), 2);
    EXPECT_EQ(record.trackTitle(1), "Opening");
    EXPECT_EQ(record.trackExtended(1), "guest");

    title->selectAll();
    // Typed text beyond ASCII arrives as a key event with its text.
    QKeyEvent typed(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier,
                    QString::fromUtf8("\xe6\x9b\xb2"));
    QApplication::sendEvent(title, &typed);
    EXPECT_EQ(child<QComboBox>("category")->currentText(), "2byte");
    EXPECT_EQ(record.category(), "2byte");

    auto* order = child<QSpinBox>("playorder");
    order->setValue(1);
    emit order->editingFinished();
    EXPECT_EQ(record.trackAt(2).playOrder, 1);
    EXPECT_EQ(record.trackAt(0).playOrder, 3);

    QTest::mouseClick(child<QPushButton>("save"), Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    const IniDocument doc = IniDocument::read(db.path());
    EXPECT_EQ(doc.readString(record.discId(), "TTITLE0"), "Opening");
    EXPECT_EQ(doc.readString(record.discId(), "GENRE"), "2byte");
    EXPECT_EQ(doc.readString(record.discId(), "PLAYORDER"), "030201");
}

// "Connect to CDDB server" fills the window from the server of the settings and offers the
// record for saving; a disc the server does not know is told.
TEST_F(DiscTitleWindowTest, ConnectFillsTheRecordOrTellsItWasNotFound) {
    CddbServer server;
    const QByteArray id = record.discId().toLatin1();
    server.replies["cddb query"] = {{"200 folk " + id + " Band / Album\r\n"}};
    server.replies["cddb read"] = {{"210 folk " + id +
                                    "\r\nDTITLE=Band / Album\r\n"
                                    "TTITLE0=From Server\r\n.\r\n"}};
    store.change([&](PlayerSettings& s) { s.cddbserver = "127.0.0.1"; });
    window->setServerPort(server.portText());
    window->connectToServer();
    ASSERT_TRUE(waitFor([&] { return !window->connecting(); }));
    EXPECT_EQ(child<QLineEdit>("title")->text(), "From Server");
    EXPECT_EQ(child<QComboBox>("category")->currentText(), "folk");
    EXPECT_TRUE(child<QPushButton>("save")->isEnabled());
    EXPECT_EQ(window->windowTitle(), "CD Informaion");

    server.replies["cddb query"] = {{"202 No match.\r\n"}, true};
    window->connectToServer();
    ASSERT_TRUE(waitFor([&] { return !window->connecting(); }));
    EXPECT_EQ(messages, QStringList({"Entry for " + record.discId() + " was not found."}));
}

}  // namespace ombrix::test

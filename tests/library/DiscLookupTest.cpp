#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "ombrix/library/DiscDatabase.h"
#include "ombrix/library/DiscLookup.h"
#include "ombrix/library/DiscRecord.h"
#include "ombrix/library/RecordSubmission.h"
#include "ombrix/media/CdDisc.h"
#include "ombrix/settings/IniDocument.h"
#include "support/CddbServer.h"
#include "support/Files.h"

namespace ombrix::test {
namespace {

// A two-track disc image, its database, a server and a lookup with what it said and asked.
struct LookupRig {
    QTemporaryDir dir;
    CddbServer server;
    std::unique_ptr<CdDisc> disc;
    DiscDatabase db{dir.filePath("cddb.ini")};
    DiscRecord record;
    DiscLookup lookup{record, db, {}};
    QStringList messages;
    QStringList questions;
    bool answer = true;
    std::optional<QStringList> entries;

    explicit LookupRig(const QStringList& cdText = {}) {
        disc = CdDisc::open(discImage(dir.path(), {75, 100}, cdText));
        DiscLookup::Options o;
        o.server = "127.0.0.1";
        o.port = server.portText();
        lookup.setOptions(o);
        lookup.setAsk([this](const QString& q) {
            questions << q;
            return answer;
        });
        QObject::connect(&lookup, &DiscLookup::message,
                         [this](const QString& m) { messages << m; });
        QObject::connect(&lookup, &DiscLookup::finished,
                         [this](const QStringList& e) { entries = e; });
    }
    QString id() const {
        DiscRecord r;
        r.readDisc(*disc);
        return r.discId();
    }
    QString track(int n) const { return disc->drive() + QString::asprintf("/track%02d.cda", n); }
    bool run() {
        entries.reset();
        lookup.start(*disc);
        return waitFor([&] { return entries.has_value(); });
    }
};

}  // namespace

// A disc known locally is named without a question or a connection, its tracks in the stored
// play order.
TEST(DiscLookup, KnownDiscIsNamedLocallyInItsPlayOrder) {
    LookupRig rig;
    writeFile(rig.db.path(), "[" + rig.id().toLatin1() +
                                 "]\r\nntracks=2\r\nDTITLE=Stored\r\nTTITLE0=A\r\nTTITLE1=B\r\n"
                                 "PLAYORDER=0201\r\nONSERVER=1\r\n");
    ASSERT_TRUE(rig.run());
    EXPECT_EQ(*rig.entries, QStringList({rig.track(2), rig.track(1)}));
    EXPECT_EQ(rig.record.discTitle(), "Stored");
    EXPECT_TRUE(rig.questions.isEmpty());
    EXPECT_EQ(rig.server.connections, 0);
}

// Found on the server: asked first, read, saved as on the server. A read that then fails is
// saved with the defaults and not on the server, and the disc is known locally next time.
TEST(DiscLookup, ServerRecordIsSavedAndAFailedReadIsSavedWithDefaults) {
    LookupRig rig;
    const QByteArray id = rig.id().toLatin1();
    rig.server.replies["cddb query"] = {{"211 close\r\nrock " + id + " Band / Disc\r\n.\r\n"}};
    rig.server.replies["cddb read"] = {
        {"210 rock " + id + "\r\nDTITLE=Band / Disc\r\nTTITLE0=Song\r\nTTITLE1=Other\r\n.\r\n"}};
    ASSERT_TRUE(rig.run());
    EXPECT_EQ(rig.questions, QStringList({"Connect to CDDB server?"}));
    EXPECT_EQ(rig.record.trackTitle(2), "Other");
    EXPECT_EQ(*rig.entries, QStringList({rig.track(1), rig.track(2)}));
    IniDocument doc = IniDocument::read(rig.db.path());
    EXPECT_EQ(doc.readString(rig.id(), "TTITLE0"), "Song");
    EXPECT_EQ(doc.readString(rig.id(), "ONSERVER"), "1");

    QFile::remove(rig.db.path());
    rig.server.replies["cddb read"] = {{"401 rock " + id + " No such CD entry.\r\n"}};
    rig.record = DiscRecord();
    ASSERT_TRUE(rig.run());
    doc = IniDocument::read(rig.db.path());
    EXPECT_EQ(doc.readString(rig.id(), "TTITLE0"), "Track 1");
    EXPECT_EQ(doc.readString(rig.id(), "ONSERVER"), "0");

    const int connections = rig.server.connections;
    ASSERT_TRUE(rig.run());
    EXPECT_EQ(rig.server.connections, connections);
    EXPECT_EQ(rig.questions.size(), 2);
}

// Not found, no server, a "no" to the question, and the server switched off: the disc keeps its
// CD-TEXT or default titles and its tracks are still listed.
TEST(DiscLookup, WithoutAnAnswerTheDiscKeepsItsOwnTitles) {
    LookupRig rig({"Album", "First", "Second"});
    rig.server.replies["cddb query"] = {{"202 No match.\r\n"}, true};
    ASSERT_TRUE(rig.run());
    EXPECT_EQ(rig.messages, QStringList({"Entry for " + rig.id() + " was not found."}));
    EXPECT_EQ(rig.record.trackTitle(1), "First");
    EXPECT_EQ(rig.record.discTitle(), "Test Band / Album");
    EXPECT_EQ(rig.entries->size(), 2);
    EXPECT_FALSE(QFile::exists(rig.db.path()));

    rig.answer = false;
    const int connections = rig.server.connections;
    ASSERT_TRUE(rig.run());
    EXPECT_EQ(rig.server.connections, connections);

    rig.messages.clear();
    rig.server.close();
    rig.answer = true;
    ASSERT_TRUE(rig.run());
    EXPECT_EQ(rig.messages, QStringList({"127.0.0.1 is not working."}));
}

// Submission: incomplete records are offered for editing, complete ones sent once; a database
// whose records are all on the server has nothing to send.
TEST(RecordSubmission, SendsCompleteRecordsAndOffersIncompleteOnes) {
    QTemporaryDir dir;
    CddbServer server;
    server.replies["cddb write"] = {{"320 OK, input CDDB data.\r\n"}};
    const DiscDatabase db(dir.filePath("cddb.ini"));
    writeFile(db.path(),
              "[00000101]\r\nntracks=1\r\nDTITLE=Done\r\nTTITLE0=Named\r\nONSERVER=0\r\n"
              "[00000201]\r\nntracks=1\r\nDTITLE=Half\r\nTTITLE0=Track 1\r\n"
              "[00000301]\r\nntracks=1\r\nDTITLE=Sent\r\nTTITLE0=Old\r\nONSERVER=1\r\n");
    RecordSubmission run(db, "127.0.0.1");
    run.setPort(server.portText());
    QStringList questions;
    QStringList messages;
    RecordSubmission::Answer answer = RecordSubmission::Answer::Yes;
    run.setAsk([&](const QString& q) {
        questions << q;
        return answer;
    });
    run.setEdit([](DiscRecord& r) { r.trackAt(0).title = "Edited"; });
    QObject::connect(&run, &RecordSubmission::message, [&](const QString& m) { messages << m; });
    run.start();
    ASSERT_TRUE(waitFor([&] { return !run.running(); }));
    EXPECT_EQ(questions, QStringList({"Half has not been completed. Will you edit it right now?"}));
    EXPECT_EQ(messages, QStringList({"2 records have been submited."}));
    EXPECT_EQ(server.connections, 2);
    const IniDocument doc = IniDocument::read(db.path());
    EXPECT_EQ(doc.readString("00000201", "TTITLE0"), "Edited");
    EXPECT_EQ(doc.readString("00000201", "ONSERVER"), "1");

    messages.clear();
    run.start();
    ASSERT_TRUE(waitFor([&] { return !run.running(); }));
    EXPECT_EQ(messages, QStringList({"There was no record to submit."}));
    EXPECT_EQ(server.connections, 2);

    writeFile(db.path(),
              "[00000401]\r\nntracks=1\r\nDTITLE=New\r\nTTITLE0=Track 1\r\n"
              "[00000501]\r\nntracks=1\r\nDTITLE=Ready\r\nTTITLE0=Real\r\n");
    answer = RecordSubmission::Answer::Cancel;
    messages.clear();
    run.start();
    ASSERT_TRUE(waitFor([&] { return !run.running(); }));
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(server.connections, 2);

    answer = RecordSubmission::Answer::No;
    server.close();
    run.start();
    ASSERT_TRUE(waitFor([&] { return !run.running(); }));
    EXPECT_EQ(messages, QStringList({"Failed to connect to 127.0.0.1"}));
}

}  // namespace ombrix::test

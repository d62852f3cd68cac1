#include <gtest/gtest.h>

#include "ombrix/library/CddbClient.h"
#include "ombrix/library/DiscRecord.h"
#include "support/CddbServer.h"
#include "support/Files.h"

namespace ombrix::test {
namespace {

const QByteArray kRead =
    "210 jazz 0200b401 CD database entry follows (until terminating `.')\r\n"
    "# xmcd\r\n#\r\nDISCID=0200b401\r\nDTITLE=Someone / Something\r\nTTITLE0=Only Song\r\n"
    "EXTT0=a remark\r\nPLAYORDER=\r\n.\r\n";

// A client on a one-track disc whose ID is 0200b401, with what it reported.
struct Rig {
    DiscRecord record;
    CddbClient client{record};
    QStringList status;
    int finished = 0;
    CddbServer server;

    Rig() {
        record.readToc({0}, {13500});
        QObject::connect(&client, &CddbClient::status, [this](const QString& s) { status << s; });
        QObject::connect(&client, &CddbClient::finished, [this] { ++finished; });
    }
    bool run(const std::function<void()>& start) {
        const int before = finished;
        start();
        return waitFor([&] { return finished > before; });
    }
    bool query() {
        return run([&] { client.query("127.0.0.1", server.portText()); });
    }
    bool read(const QString& category) {
        return run([&] { client.read("127.0.0.1", server.portText(), category); });
    }
};

}  // namespace

// A query with an exact match keeps the connection for the read that fills the record; every
// line sent and every status text is as the server and the user expect.
TEST(CddbClient, QueryThenReadOnOneConnectionFillsTheRecord) {
    Rig rig;
    rig.server.replies["cddb query"] = {{"200 jazz 0200b401 Someone / Something\r\n"}};
    rig.server.replies["cddb read"] = {{kRead}};
    ASSERT_TRUE(rig.query());
    EXPECT_TRUE(rig.client.result().found);
    EXPECT_EQ(rig.record.matchedCategory(), "jazz");
    EXPECT_EQ(rig.record.matchedDiscId(), "0200b401");
    ASSERT_TRUE(rig.read(rig.record.matchedCategory()));
    EXPECT_TRUE(rig.client.result().found);
    EXPECT_EQ(rig.server.connections, 1);
    EXPECT_EQ(rig.record.discTitle(), "Someone / Something");
    EXPECT_EQ(rig.record.trackTitle(1), "Only Song");
    EXPECT_EQ(rig.record.trackExtended(1), "a remark");
    EXPECT_EQ(rig.record.category(), "jazz");
    const QByteArray host = rig.record.hostName().toUtf8();
    EXPECT_EQ(rig.server.commands,
              QList<QByteArray>({"cddb hello anonymous " + host + " OmbrixPlayer 1.30",
                                 "cddb query 0200b401 1 150 182", "cddb read jazz 0200b401"}));
    EXPECT_EQ(rig.status,
              QStringList({"connecting to 127.0.0.1:" + rig.server.portText(), "cddb hello",
                           "querying...", "query successful", "reading jazz 0200b401"}));
}

// Close matches: the first candidate wins, whether the list comes at once or in ten pieces; a
// server that greets with 200 is asked at once.
TEST(CddbClient, CloseMatchesInOneOrManyPiecesGiveTheFirstCandidate) {
    const QByteArray list =
        "211 close matches found\r\nrock 0200b4ff First / One\r\n"
        "blues 0200b401 Second / Two\r\n.\r\n";
    for (int pieces : {1, 10}) {
        Rig rig;
        rig.server.greeting = "200 test.server CDDBP server ready, posting allowed\r\n";
        rig.server.replies["cddb query"] = {CddbServer::split(list, pieces)};
        ASSERT_TRUE(rig.query());
        EXPECT_TRUE(rig.client.result().found) << pieces;
        EXPECT_EQ(rig.record.matchedCategory(), "rock");
        EXPECT_EQ(rig.record.matchedDiscId(), "0200b4ff");
        EXPECT_EQ(rig.server.commands.size(), 1);  // no hello after a 200 greeting
        rig.client.close();
    }
}

// No match ends the exchange with "query no match"; a read refused by the server leaves the
// record as it was.
TEST(CddbClient, NoMatchAndRefusedReadLeaveTheRecordAlone) {
    Rig rig;
    rig.server.replies["cddb query"] = {{"202 No match for disc ID 0200b401.\r\n"}, true};
    ASSERT_TRUE(rig.query());
    EXPECT_FALSE(rig.client.result().found);
    EXPECT_FALSE(rig.client.result().failed);
    EXPECT_EQ(rig.status.last(), "query no match");

    rig.server.replies["cddb read"] = {{"401 jazz 0200b401 No such CD entry in database.\r\n"}};
    ASSERT_TRUE(rig.read("jazz"));
    EXPECT_FALSE(rig.client.result().found);
    EXPECT_EQ(rig.record.discTitle(), "Untitled");
    EXPECT_EQ(rig.record.trackTitle(1), "Track 1");
    EXPECT_EQ(rig.record.category(), "rock");
}

// Titles split over lines are joined; indices that are negative, huge or beyond the disc are
// ignored, even 200 of them for a disc of three tracks.
TEST(CddbClient, ReadJoinsSplitValuesAndIgnoresForeignTracks) {
    Rig rig;
    rig.record.readToc({0, 100, 200}, {100, 100, 100});
    QByteArray reply = "210 rock " + rig.record.discId().toLatin1() + " entry\r\n";
    for (int i = 0; i < 200; ++i)
        reply += "TTITLE" + QByteArray::number(i) + "=n" + QByteArray::number(i) + "\r\n";
    reply +=
        "TTITLE-1=minus\r\nTTITLE99999999999=huge\r\nTTITLEx=odd\r\nEXTT2=first half, \r\n"
        "EXTT2=second half\r\nDTITLE=A very long\r\nDTITLE= title\r\n.\r\n";
    rig.server.replies["cddb read"] = {{reply}};
    ASSERT_TRUE(rig.read("rock"));
    EXPECT_TRUE(rig.client.result().found);
    EXPECT_EQ(rig.record.trackCount(), 3);
    EXPECT_EQ(rig.record.trackTitle(1), "n0");
    EXPECT_EQ(rig.record.trackTitle(3), "n2");
    EXPECT_EQ(rig.record.trackExtended(3), "first half, second half");
    EXPECT_EQ(rig.record.discTitle(), "A very long title");
}

// Servers that misbehave end the exchange as failed: one that says nothing after its greeting,
// one that closes in the middle of a reply, one that sends 10 MB without a line end, and one
// that is not there at all.
TEST(CddbClient, SilentClosingFloodingAndMissingServersEndAsFailed) {
    {
        Rig rig;
        rig.client.setReplyTimeoutMs(200);
        ASSERT_TRUE(rig.query());  // the query is never answered
        EXPECT_TRUE(rig.client.result().failed);
        EXPECT_FALSE(rig.client.busy());
    }
    {
        Rig rig;
        rig.server.replies["cddb read"] = {{"210 rock 0200b401 entry\r\nDTITLE=Half\r\n"}, true};
        ASSERT_TRUE(rig.read("rock"));
        EXPECT_TRUE(rig.client.result().failed);
        EXPECT_EQ(rig.record.discTitle(), "Untitled");
    }
    {
        Rig rig;
        rig.server.flood = 10 << 20;
        ASSERT_TRUE(rig.query());
        EXPECT_TRUE(rig.client.result().failed);
        EXPECT_EQ(rig.client.result().failure, "reply too long");
    }
    {
        Rig rig;
        const QString port = rig.server.portText();
        rig.server.close();
        ASSERT_TRUE(rig.run([&] { rig.client.query("127.0.0.1", port); }));
        EXPECT_TRUE(rig.client.result().failed);
    }
}

// A submission sends the record after 320 and marks it on the server; a record already there
// sends nothing at all.
TEST(CddbClient, SubmitSendsTheRecordOnceAndNeverAgain) {
    Rig rig;
    rig.record.trackAt(0).title = "Named";
    rig.server.replies["cddb write"] = {{"320 OK, input CDDB data.\r\n"}};
    ASSERT_TRUE(rig.run([&] { rig.client.submit("127.0.0.1", rig.server.portText()); }));
    EXPECT_TRUE(rig.client.result().found);
    EXPECT_TRUE(rig.record.onServer());
    EXPECT_EQ(rig.server.commands.last(), "cddb write rock 0200b401");
    EXPECT_EQ(rig.server.submitted, rig.record.xmcdText());

    ASSERT_TRUE(rig.run([&] { rig.client.submit("127.0.0.1", rig.server.portText()); }));
    EXPECT_EQ(rig.server.connections, 1);
}

}  // namespace ombrix::test

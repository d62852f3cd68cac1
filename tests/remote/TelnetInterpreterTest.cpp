// The command language and the byte level of a session, without sockets.
#include <gtest/gtest.h>

#include <QStringList>

#include "ombrix/remote/TelnetInterpreter.h"
#include "ombrix/remote/TelnetSession.h"
#include "ombrix/remote/TokenBucket.h"

namespace ombrix::test {
namespace {

using Kind = TelnetAction::Kind;

class TelnetInterpreterTest : public ::testing::Test {
protected:
    TelnetInterpreterTest() {
        view.volume = 64;
        view.version = "Ombrix Player";
        view.line1 = "Song";
        view.line2 = "Artist";
        view.playing = true;
        view.entryCount = 3;
        view.listingText = [](int i) { return QStringList{"a.mp3", "Title / Band", "c"}.at(i); };
        view.findFile = [this](const QString& folder, const QString& name) {
            asked << folder + "|" + name;
            return name == "Song.mp3" ? folder + "/Song.mp3" : QString();
        };
        view.listFolder = [this](const QString&) { return listing; };
    }
    TelnetResult run(const QString& line) { return TelnetInterpreter::parseCommand(line, view); }

    TelnetView view;
    TelnetFolderListing listing;
    QStringList asked;
};

TEST_F(TelnetInterpreterTest, VolumeIsReadSetAndLimited) {
    const struct {
        const char* line;
        Kind kind;
        int number;
    } cases[] = {{"volume", Kind::None, 0},
                 {"VOLUME 200", Kind::SetVolume, 127},
                 {"volume -5", Kind::SetVolume, 0},
                 {"volume +12 extra words", Kind::SetVolume, 12},
                 {"volume 99999999999999999999", Kind::SetVolume, 127},
                 {"volume -99999999999999999999", Kind::SetVolume, 0}};
    for (const auto& c : cases) {
        const TelnetResult r = run(c.line);
        EXPECT_EQ(r.action.kind, c.kind) << c.line;
        if (c.kind == Kind::SetVolume) EXPECT_EQ(r.action.number, c.number) << c.line;
    }
    for (const char* bad : {"volume loud", "volume 12a", "volume -", "volume 0x10"}) {
        EXPECT_EQ(run(bad).reply, TelnetInterpreter::kSyntaxError) << bad;
        EXPECT_EQ(run(bad).action.kind, Kind::None) << bad;
    }
}

TEST_F(TelnetInterpreterTest, PlayAndPlayOnlyExistingEntries) {
    const TelnetResult play = run(TelnetInterpreter::normalize("   play   "));
    EXPECT_EQ(play.reply, "okay");
    EXPECT_EQ(play.action.kind, Kind::Play);
    const TelnetResult second = run("play   2");
    EXPECT_EQ(second.action.kind, Kind::PlayEntry);
    EXPECT_EQ(second.action.number, 1);
    EXPECT_TRUE(second.reply.isEmpty());
    // Numbers that name no entry would be wrapped round by the controller.
    for (const char* missing : {"play 0", "play 4", "play -1", "play 99999999999"}) {
        EXPECT_EQ(run(missing).reply, "nope") << missing;
        EXPECT_EQ(run(missing).action.kind, Kind::None) << missing;
    }
    EXPECT_EQ(run("play second").reply, TelnetInterpreter::kSyntaxError);
    EXPECT_EQ(run("play second").action.kind, Kind::None);
}

TEST_F(TelnetInterpreterTest, SimpleCommandsAndErrors) {
    EXPECT_EQ(run("").reply, "unrecognized command");
    EXPECT_EQ(run("dance").reply, TelnetInterpreter::kSyntaxError);
    EXPECT_EQ(run("Stop now").action.kind, Kind::Stop);
    EXPECT_EQ(run("next").action.kind, Kind::Next);
    EXPECT_EQ(run("prev").action.kind, Kind::Prev);
    EXPECT_EQ(run("shutdown").action.kind, Kind::None);
    view.allowShutdown = true;
    EXPECT_EQ(run("shutdown").action.kind, Kind::Shutdown);
    view.entryCount = 0;
    EXPECT_EQ(run("list").reply, "no songs in playlist");
    view.telnetpath = "/music";
    EXPECT_EQ(run("load").reply, TelnetInterpreter::kSyntaxError);
    EXPECT_EQ(run("load Song.mp3 now").reply, TelnetInterpreter::kSyntaxError);
    EXPECT_EQ(run("LOAD Song.mp3").action.path, "/music/Song.mp3");
    EXPECT_EQ(asked.last(), "/music|Song.mp3") << "the name keeps its case";
}

TEST_F(TelnetInterpreterTest, DirShowsPlainDirectoriesInAngleBrackets) {
    EXPECT_EQ(run("dir").reply, "please specify local directory in the config window.");
    view.telnetpath = "/music";
    listing.status = TelnetFolderListing::Status::Ok;
    listing.entries = {{".", true}, {"..", true}, {"a.mp3", false}, {"sub", true}, {"ro", false}};
    EXPECT_EQ(run("dir").reply, "<.>\n\r<..>\n\ra.mp3\n\r<sub>\n\rro");
    listing.status = TelnetFolderListing::Status::NotFound;
    EXPECT_EQ(run("dir").reply, "directory not found");
    listing.status = TelnetFolderListing::Status::Unreadable;
    EXPECT_EQ(run("dir").reply, "directory cannot be read");
}

TEST_F(TelnetInterpreterTest, ControlCharactersFromOutsideAreReplaced) {
    view.telnetpath = "/music";
    listing.status = TelnetFolderListing::Status::Ok;
    listing.entries = {{"a\x1b[2Jb.mp3", false},
                       {"new\nline", true},
                       {"bell\x07\x7f", false},
                       {QString::fromUtf8("csi\xc2\x9b"
                                          "31m"),
                        false}};
    EXPECT_EQ(run("dir").reply, "a?[2Jb.mp3\n\r<new?line>\n\rbell??\n\rcsi?31m");
    view.entryCount = 1;
    view.listingText = [](int) { return QStringLiteral("Title\r\n2: forged / \x1b]0;x\x07"); };
    EXPECT_EQ(run("list").reply, "1: Title??2: forged / ?]0;x?\n\r");
    view.line1 = "Song\b\b\b\bEvil";
    view.line2 = "Band\t";
    EXPECT_EQ(run("info").reply, "Song????Evil / Band?");
    // Text beyond the control ranges is kept.
    EXPECT_EQ(TelnetInterpreter::printable(QString::fromUtf8("Caf\xc3\xa9 \xe6\x9b\xb2 ~")),
              QString::fromUtf8("Caf\xc3\xa9 \xe6\x9b\xb2 ~"));
}

TEST(TelnetNormalize, TrimsBlanksAndControlsAndDecodes) {
    EXPECT_EQ(TelnetInterpreter::normalize(QByteArray("\0\t  Play 2 \x7f\x01", 13)), "Play 2");
    EXPECT_EQ(TelnetInterpreter::normalize("load caf\xc3\xa9.mp3"),
              QString::fromUtf8("load café.mp3"));
    EXPECT_EQ(TelnetInterpreter::normalize("load caf\xe9.mp3"), QString::fromUtf8("load café.mp3"));
    EXPECT_EQ(TelnetInterpreter::normalize(" \x1b "), "");
}

// ---------------------------------------------------------------------------------------------
// The session's byte level

struct SessionRig {
    explicit SessionRig(TelnetSession::Options options = {})
        : session(
              [this](const QString& line) {
                  lines << line;
                  return QStringLiteral("reply to ") + line;
              },
              [this](QByteArrayView b) { sent += b; }, std::move(options)) {}
    QStringList lines;
    QByteArray sent;
    TelnetSession session;
};

TEST(TelnetSession, LinesSpanReadsAndByeEndsWithoutLookingFurther) {
    SessionRig r;
    EXPECT_TRUE(r.session.receive("HELLO\r"));
    EXPECT_EQ(r.sent, "HELLO\rhow are you?\n\r\n\r> ");
    r.sent.clear();
    // LF is ignored wherever it comes.
    EXPECT_TRUE(r.session.receive("  Vol"));
    EXPECT_TRUE(r.session.receive("\nume 3 \r\r"));
    EXPECT_EQ(r.lines, (QStringList{"Volume 3", ""}));
    EXPECT_EQ(r.sent, "  Vol\nume 3 \r\rreply to Volume 3\n\r\n\r> reply to \n\r\n\r> ");
    r.sent.clear();
    EXPECT_FALSE(r.session.receive("volume\rQuit\rinfo\r"));
    EXPECT_EQ(r.sent, "volume\rQuit\rinfo\rreply to volume\n\r\n\r> see you!\n\r");
    EXPECT_EQ(r.lines.last(), "volume");
    EXPECT_TRUE(r.session.ended());
    r.sent.clear();
    EXPECT_FALSE(r.session.receive("info\r"));
    EXPECT_TRUE(r.sent.isEmpty());
}

TEST(TelnetSession, AnOverlongLineIsDroppedAndTheSessionGoesOn) {
    SessionRig r;
    const QByteArray chunk(1000, 'x');
    for (int i = 0; i < 10000; ++i) {
        r.session.receive(chunk);
        ASSERT_LE(r.session.pendingLine(), TelnetSession::kMaxLine);
        r.sent.clear();
    }
    r.session.receive("\rvolume\r");
    EXPECT_EQ(r.sent, "\rvolume\runrecognized command\n\r\n\r> reply to volume\n\r\n\r> ");
    EXPECT_EQ(r.lines, QStringList{"volume"});
    // Exactly the limit is still a line.
    r.lines.clear();
    r.session.receive(QByteArray(TelnetSession::kMaxLine, 'y') + "\r");
    EXPECT_EQ(r.lines.size(), 1);
}

TEST(TelnetSession, LinesWaitWhileThereIsNoRoomForTheirReplies) {
    int room = 0;  // lines that may still be answered
    TelnetSession::Options options;
    options.hasRoom = [&] { return room-- > 0; };
    SessionRig r(std::move(options));
    // The echo goes at once; no line of the packet is answered while there is no room.
    EXPECT_TRUE(r.session.receive("dir\rdir\rlist\r"));
    EXPECT_EQ(r.sent, "dir\rdir\rlist\r");
    EXPECT_TRUE(r.lines.isEmpty());
    EXPECT_TRUE(r.session.hasInput());
    EXPECT_LE(r.session.pendingInput(), TelnetSession::kMaxLine);
    // Each time there is room again, the next line is answered, in order.
    room = 1;
    EXPECT_TRUE(r.session.resume());
    EXPECT_EQ(r.lines, QStringList{"dir"});
    room = 1;
    r.session.resume();
    room = 1;
    r.session.resume();
    EXPECT_EQ(r.lines, (QStringList{"dir", "dir", "list"}));
    EXPECT_FALSE(r.session.hasInput());
    EXPECT_TRUE(r.sent.endsWith("reply to dir\n\r\n\r> reply to list\n\r\n\r> "));
}

TEST(TelnetSession, PasswordFirstThenCommandsAndThreeFailuresEnd) {
    TelnetSession::Options options;
    options.password = "s3cret";
    SessionRig r(options);
    EXPECT_TRUE(TelnetSession::greeting(true).endsWith("\n\r\n\rpassword: "));
    EXPECT_EQ(r.session.greetingForThisSession(), TelnetSession::greeting(true));
    EXPECT_TRUE(r.session.receive("volume 5\rhi\r"));
    EXPECT_TRUE(r.lines.isEmpty()) << "nothing runs before the password";
    EXPECT_FALSE(r.session.authenticated());
    r.sent.clear();
    EXPECT_TRUE(r.session.receive("s3cret\rvolume\r"));
    EXPECT_TRUE(r.session.authenticated());
    EXPECT_EQ(r.sent, "s3cret\rvolume\rok\n\r\n\r> reply to volume\n\r\n\r> ");

    SessionRig wrong(options);
    EXPECT_TRUE(wrong.session.receive("S3CRET\r"));
    EXPECT_TRUE(wrong.session.receive("s3cret2\r"));
    EXPECT_FALSE(wrong.session.receive("\rs3cret\r"));
    EXPECT_TRUE(wrong.session.ended());
    EXPECT_EQ(wrong.sent.count("wrong password"), 3);
    EXPECT_TRUE(wrong.sent.endsWith("wrong password\n\r"));
    EXPECT_TRUE(wrong.lines.isEmpty());

    EXPECT_TRUE(TelnetSession::sameSecret("abc", "abc"));
    EXPECT_FALSE(TelnetSession::sameSecret("abc", "abd"));
    EXPECT_FALSE(TelnetSession::sameSecret("abc", "abcd"));
    EXPECT_FALSE(TelnetSession::sameSecret("", "a"));
}

TEST(TelnetSession, CommandsBeyondTheAllowanceAreRefusedUnrun) {
    int allowance = 2;
    TelnetSession::Options options;
    options.mayRun = [&] { return allowance-- > 0; };
    SessionRig r(std::move(options));
    r.session.receive("volume 1\rhi\rvolume 2\rvolume 3\r");
    EXPECT_EQ(r.lines, (QStringList{"volume 1", "volume 2"}));
    EXPECT_TRUE(r.sent.endsWith(TelnetSession::kTooFast.toUtf8() + "\n\r\n\r> "));
    EXPECT_TRUE(r.sent.contains("hello!")) << "the session's own answers cost nothing";
}

TEST(TokenBucket, ABurstThenTheRate) {
    TokenBucket bucket(10, 3);  // 10 a second: one per 100 ms
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(bucket.take(1000)) << i;
    EXPECT_FALSE(bucket.take(1000));
    EXPECT_FALSE(bucket.take(1050));
    EXPECT_TRUE(bucket.take(1100));
    EXPECT_FALSE(bucket.take(1100));
    // A long pause fills it up to the burst only.
    int taken = 0;
    while (bucket.take(60000)) ++taken;
    EXPECT_EQ(taken, 3);
    // A clock that goes back gives nothing.
    EXPECT_FALSE(bucket.take(0));
    TokenBucket never(0, 1);
    EXPECT_TRUE(never.take(0));
    EXPECT_FALSE(never.take(1000000));
}

}  // namespace
}  // namespace ombrix::test

// The command language and the byte level of a session, without sockets.
#include <gtest/gtest.h>

#include <QStringList>

#include "ombrix/remote/TelnetInterpreter.h"
#include "ombrix/remote/TelnetSession.h"

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
    SessionRig()
        : session(
              [this](const QString& line) {
                  lines << line;
                  return QStringLiteral("reply to ") + line;
              },
              [this](QByteArrayView b) { sent += b; }) {}
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

}  // namespace
}  // namespace ombrix::test

#include "ombrix/control/CommandLine.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "ombrix/control/InstanceMessage.h"

using namespace ombrix;

namespace {

QString inCwd(const QString& relative) {
    return QDir::cleanPath(QDir::current().absoluteFilePath(relative));
}

}  // namespace

TEST(CommandLine, ProgramNameAndHomeOptionAreNoArguments) {
    const ProgramOptions o = CommandLine::parseProgramOptions(
        {"ombrix", "--home", "/h", "/a.mp3", "--home=/x", "b c", "-", "-live.mp3"});
    EXPECT_EQ(o.action, ProgramOptions::Action::Run);
    EXPECT_EQ(o.args, QStringList({"/a.mp3", "b c", "-", "-live.mp3"}));
    // After "--" every name is a file, options or not.
    EXPECT_EQ(CommandLine::parseProgramOptions({"ombrix", "--", "--help", "--x", "a.mp3"}).args,
              QStringList({"--help", "--x", "a.mp3"}));
}

// Help and version are answered by this start alone; a wrong option is an error before any
// argument could be handed to a running player as a file name.
TEST(CommandLine, HelpVersionAndWrongOptions) {
    using Action = ProgramOptions::Action;
    EXPECT_EQ(CommandLine::parseProgramOptions({"ombrix", "--help"}).action, Action::Help);
    EXPECT_EQ(CommandLine::parseProgramOptions({"ombrix", "/a.mp3", "-h"}).action, Action::Help);
    EXPECT_EQ(CommandLine::parseProgramOptions({"ombrix", "--version"}).action, Action::Version);
    // Asking how to call the program wins over a mistake made in the same line.
    EXPECT_EQ(CommandLine::parseProgramOptions({"ombrix", "--bogus", "--help"}).action,
              Action::Help);

    const ProgramOptions unknown =
        CommandLine::parseProgramOptions({"ombrix", "/a.mp3", "--shuffle=yes", "--loop"});
    EXPECT_EQ(unknown.action, Action::Error);
    EXPECT_EQ(unknown.error, "unknown option --shuffle") << "the first wrong option is named";
    EXPECT_TRUE(unknown.args.isEmpty());
    for (const QStringList& noFolder :
         {QStringList{"ombrix", "--home"}, QStringList{"ombrix", "--home="},
          QStringList{"ombrix", "--home", ""}}) {
        const ProgramOptions o = CommandLine::parseProgramOptions(noFolder);
        EXPECT_EQ(o.action, Action::Error) << noFolder.join(' ').toStdString();
        EXPECT_EQ(o.error, "option --home needs a folder");
    }
    EXPECT_EQ(CommandLine::parseProgramOptions({"ombrix"}).action, Action::Run);
    EXPECT_TRUE(CommandLine::usage("ombrix").startsWith("Usage: ombrix "));
}

// The shell splits "/music/My Song.mp3" at the blank; both sides join it back.
TEST(CommandLine, NameSplitAtBlankIsJoinedBack) {
    const QStringList args{"/music/My", "Song.mp3"};
    EXPECT_EQ(CommandLine::gatherFirstInstance(args).entries, QStringList({"/music/My Song.mp3"}));
    EXPECT_EQ(CommandLine::joinForRunningInstance(args), "/music/My Song.mp3");

    // A relative start is completed against this process's folder before it is sent.
    EXPECT_EQ(CommandLine::joinForRunningInstance({"My", "Song.mp3"}), inCwd("My Song.mp3"));
    EXPECT_EQ(CommandLine::gatherFirstInstance({"My", "Song.mp3"}).entries,
              QStringList({inCwd("My Song.mp3")}));
}

TEST(CommandLine, RelativeNamesOfFilesThatExistStayApart) {
    QTemporaryDir dir;
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(dir.path());
    for (const char* f : {"a.mp3", "My Song.mp3", "Song.mp3"}) QFile(f).open(QIODevice::WriteOnly);
    const QStringList shellArgs{"a.mp3", "My Song.mp3"};
    EXPECT_EQ(CommandLine::gatherFirstInstance(shellArgs).entries,
              QStringList({dir.filePath("a.mp3"), dir.filePath("My Song.mp3")}));
    EXPECT_EQ(CommandLine::joinForRunningInstance(shellArgs), dir.filePath("a.mp3"));
    // So do folders ("ombrix *" in a music folder).
    ASSERT_TRUE(QDir().mkpath("Album One") && QDir().mkpath("Album"));
    EXPECT_EQ(
        CommandLine::gatherFirstInstance({"Album One", "Album", "a.mp3"}).entries,
        QStringList({dir.filePath("Album One"), dir.filePath("Album"), dir.filePath("a.mp3")}));
    // "My" is no file: "My" "Song.mp3" is still one name split at its blank.
    EXPECT_EQ(CommandLine::gatherFirstInstance({"My", "Song.mp3"}).entries,
              QStringList({dir.filePath("My Song.mp3")}));
    QDir::setCurrent(cwd);
}

TEST(CommandLine, TwoAbsolutePathsAreTwoEntriesButOneHandOver) {
    const QStringList args{"/m/a.mp3", "/m/b", "c.mp3", "/m/../n/./d.mp3"};
    EXPECT_EQ(CommandLine::gatherFirstInstance(args).entries,
              QStringList({"/m/a.mp3", "/m/b c.mp3", "/n/d.mp3"}));
    // One file per start: the running instance gets the first name only.
    EXPECT_EQ(CommandLine::joinForRunningInstance(args), "/m/a.mp3");
    // A web address is kept as it is.
    EXPECT_EQ(CommandLine::gatherFirstInstance({"http://h/a b.mp3", "/m/x.mp3"}).entries,
              QStringList({"http://h/a b.mp3", "/m/x.mp3"}));
}

TEST(CommandLine, CommandsForTheRunningInstance) {
    // The path after "@@add" / "@@edit" is always taken, even when it is absolute.
    EXPECT_EQ(CommandLine::joinForRunningInstance({"@@add", "/m/My", "Song.mp3", "/m/next.mp3"}),
              "@@add /m/My Song.mp3");
    EXPECT_EQ(CommandLine::joinForRunningInstance({"@@edit", "rel.mp3"}),
              "@@edit " + inCwd("rel.mp3"));
    EXPECT_EQ(CommandLine::joinForRunningInstance({"@@add"}), "@@add");
    // Another command ends the name; "@@" alone is part of it.
    EXPECT_EQ(CommandLine::joinForRunningInstance({"/m/a", "@@", "b.mp3", "@@stop"}),
              "/m/a @@ b.mp3");
    EXPECT_EQ(CommandLine::joinForRunningInstance({"  /m/a.mp3"}), "/m/a.mp3");
    // A ":name" is no path here (QDir would count a Qt resource as absolute).
    EXPECT_EQ(CommandLine::joinForRunningInstance({"/m/a", ":-)", "b.mp3"}), "/m/a :-) b.mp3");

    // What is sent is what the receiver takes apart again.
    const InstanceMessage add =
        InstanceMessage::parse(InstanceMessage::decode(InstanceMessage::encode(
            CommandLine::joinForRunningInstance({"@@add", "/m/My", "Song.mp3"}))));
    EXPECT_EQ(add.kind, InstanceMessage::Kind::Add);
    EXPECT_EQ(add.path, "/m/My Song.mp3");
}

TEST(CommandLine, CommandIsNotCutInsideACharacter) {
    // A character outside the BMP where the path would begin: its halves cannot be sent.
    const QString emoji = QString::fromUcs4(U"\U0001F600", 1);
    EXPECT_EQ(CommandLine::joinForRunningInstance({"@@edab" + emoji + "x.mp3"}), "");
    EXPECT_EQ(CommandLine::joinForRunningInstance({"@@adx" + emoji + "x.mp3"}), "");
    // One that begins the path is sent whole and read back unchanged.
    const QString sent = CommandLine::joinForRunningInstance({"@@add", "/m/" + emoji + ".mp3"});
    EXPECT_EQ(sent, "@@add /m/" + emoji + ".mp3");
    EXPECT_EQ(InstanceMessage::decode(InstanceMessage::encode(sent)), sent);
}

TEST(CommandLine, TooLongForTheBlock) {
    const QString dir = "/" + QString(200, 'd');
    // 255 bytes fit; 256 do not, and a shortened path would be another file.
    const QString fits = dir + "/" + QString(254 - dir.size(), 'f');
    ASSERT_EQ(fits.toUtf8().size(), 255);
    EXPECT_EQ(CommandLine::joinForRunningInstance({fits}), fits);
    EXPECT_EQ(CommandLine::joinForRunningInstance({fits + "x"}), "");
    EXPECT_EQ(CommandLine::joinForRunningInstance({"@@add", fits}), "");
    // Multi-byte characters count in bytes: "/" and 127 x "é" are 255 bytes, 128 are too many.
    const QString accents = "/" + QString(127, QChar(0xE9));
    EXPECT_EQ(CommandLine::joinForRunningInstance({accents}), accents);
    EXPECT_EQ(CommandLine::joinForRunningInstance({accents + QChar(0xE9)}), "");
    // A stop needs only its command and is cut at a character boundary instead.
    const QString stop = CommandLine::joinForRunningInstance({"@@stop", QString(300, QChar(0xE9))});
    EXPECT_TRUE(stop.startsWith("@@stop "));
    EXPECT_LE(stop.toUtf8().size(), CommandLine::kMaxTextBytes);
    EXPECT_FALSE(stop.contains(QChar::ReplacementCharacter));
}

TEST(CommandLine, FirstInstanceCommands) {
    FirstInstanceStart add = CommandLine::gatherFirstInstance({"@@add", "/m/a", "b.mp3", "/m/c"});
    EXPECT_EQ(add.entries, QStringList({"/m/a b.mp3", "/m/c"}));
    EXPECT_FALSE(add.editRequest);

    FirstInstanceStart edit = CommandLine::gatherFirstInstance({"@@edit", "/m/x.mp3"});
    EXPECT_EQ(edit.entries, QStringList({"/m/x.mp3"}));
    EXPECT_TRUE(edit.editRequest);

    EXPECT_TRUE(CommandLine::gatherFirstInstance({"@@cd", "/m/x.mp3"}).cdRequest);

    EXPECT_TRUE(CommandLine::gatherFirstInstance({"@@add"}).entries.isEmpty());
    EXPECT_TRUE(CommandLine::gatherFirstInstance({"@@stop"}).entries.isEmpty());
}

TEST(InstanceMessage, BlockRoundTrip) {
    for (const int n : {0, 1, 255}) {
        const QString text(n, 'a');
        const QByteArray block = InstanceMessage::encode(text);
        ASSERT_EQ(block.size(), 256);
        EXPECT_EQ(block[255], '\0');
        EXPECT_EQ(InstanceMessage::decode(block), text);
    }
    // Too long: cut to 255 bytes.
    EXPECT_EQ(InstanceMessage::decode(InstanceMessage::encode(QString(256, 'b'))),
              QString(255, 'b'));
    // Never half a character: 2-byte "é" x 200 keeps 127 of them (254 bytes);
    // 4-byte characters keep 63 (252 bytes).
    EXPECT_EQ(InstanceMessage::decode(InstanceMessage::encode(QString(200, QChar(0xE9)))),
              QString(127, QChar(0xE9)));
    QString clefs;
    for (int i = 0; i < 70; ++i) clefs += QString::fromUtf8("\xF0\x9D\x84\x9E");
    EXPECT_EQ(InstanceMessage::decode(InstanceMessage::encode(clefs)), clefs.left(126));
    const QString mixed = "a" + QString(127, QChar(0x4E2D));  // 1 + 381 bytes
    EXPECT_EQ(InstanceMessage::decode(InstanceMessage::encode(mixed)), mixed.left(85));
}

TEST(InstanceMessage, DecodeTakesAnyBytes) {
    // 256 bytes of junk without a zero: all of them, read as Latin-1 because not UTF-8.
    QByteArray junk(256, '\0');
    for (int i = 0; i < 256; ++i) junk[i] = static_cast<char>(0x80 + (i * 7) % 127 + 1);
    const QString text = InstanceMessage::decode(junk);
    EXPECT_EQ(text, QString::fromLatin1(junk));
    // Longer or shorter blocks: at most 256 bytes are looked at.
    EXPECT_EQ(InstanceMessage::decode(QByteArray(300, 'x')), QString(256, 'x'));
    EXPECT_EQ(InstanceMessage::decode(QByteArray("ab\0cd", 5)), "ab");
    // 255 characters of junk parse without reading out of range.
    const InstanceMessage m = InstanceMessage::parse(text.left(255));
    EXPECT_EQ(m.kind, InstanceMessage::Kind::Play);
}

TEST(InstanceMessage, DispatchByFirstFourCharacters) {
    InstanceMessage m = InstanceMessage::parse("@@edit /m/../x.mp3");
    EXPECT_EQ(m.kind, InstanceMessage::Kind::Edit);
    EXPECT_EQ(m.path, "/x.mp3");
    EXPECT_EQ(InstanceMessage::parse("@@stop now").kind, InstanceMessage::Kind::Stop);

    // Too short for the prefix: no path, no out-of-range read.
    for (const char* shortText : {"@@ad", "@@add", "@@add ", "@@ed", "@@edit "}) {
        m = InstanceMessage::parse(shortText);
        EXPECT_TRUE(m.path.isEmpty()) << shortText;
    }
    EXPECT_TRUE(InstanceMessage::parse("").path.isEmpty());
}

// Damaged and hostile inputs: every parser must answer (or refuse) without crashing, hanging or
// reading outside its data. Inputs are valid files with bytes changed and cut by a seeded
// generator.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstring>
#include <random>

#include "ombrix/library/PlaylistFile.h"
#include "ombrix/library/SongTag.h"
#include "ombrix/media/LhaArchive.h"
#include "ombrix/media/ZipArchive.h"
#include "ombrix/probe/MediaProbe.h"
#include "ombrix/settings/IniDocument.h"
#include "ombrix/settings/TextFile.h"
#include "support/Files.h"

using namespace ombrix;
using test::le32;

namespace {

constexpr int kRounds = 300;

QByteArray mutate(QByteArray b, std::mt19937& rng) {
    if (b.isEmpty()) return b;
    std::uniform_int_distribution<int> byte(0, 255);
    const int changes = 1 + int(rng() % 8);
    for (int i = 0; i < changes; ++i) b[qsizetype(rng() % quint32(b.size()))] = char(byte(rng));
    if (rng() % 3 == 0) b.truncate(qsizetype(rng() % quint32(b.size() + 1)));
    return b;
}

QByteArray riffWithInfo() {
    QByteArray info = "INFOINAM" + le32(6) + QByteArray("Title\0", 6) + "IART" + le32(3) +
                      QByteArray("Ar\0\0", 4);
    QByteArray body = "WAVEfmt " + le32(16) + QByteArray(16, '\x01') + "data" + le32(5) +
                      QByteArray(6, '\x7f') + "LIST" + le32(quint32(info.size())) + info;
    return "RIFF" + le32(quint32(body.size())) + body;
}

QByteArray mpegWithTags() {
    QByteArray b("ID3\x03\x00\x00\x00\x00\x00\x10", 10);
    b += QByteArray(16, '\0');
    b += QByteArray(300, char(0xFF));
    b += "TAG" + QByteArray(125, 'x');
    return b;
}

}  // namespace

TEST(Robustness, ProbesStayInsideTheFile) {
    std::mt19937 rng(1234);
    const QByteArray seeds[] = {riffWithInfo(), mpegWithTags()};
    for (int i = 0; i < kRounds; ++i) {
        const QByteArray b = mutate(seeds[i % 2], rng);
        const std::span<const std::uint8_t> bytes(
            reinterpret_cast<const std::uint8_t*>(b.constData()), std::size_t(b.size()));
        const std::int64_t off = probe::startOffset(bytes);
        EXPECT_GE(off, -1);
        EXPECT_LE(off, b.size());
    }
}

TEST(Robustness, TagsOfDamagedFiles) {
    QTemporaryDir dir;
    std::mt19937 rng(99);
    const QByteArray seeds[] = {riffWithInfo(), mpegWithTags()};
    for (int i = 0; i < kRounds; ++i) {
        const QString f = dir.filePath(i % 2 ? "x.mp3" : "x.wav");
        test::writeFile(f, mutate(seeds[i % 2], rng));
        SongTag t;
        ASSERT_TRUE(t.read(f));
        EXPECT_LE(t.title.toUtf8().size(), SongTag::kMaxRiffValue);
        SongTag::hasTag(f);
        const QByteArray before = test::readFile(f);
        t.title = "Rewritten";
        if (t.write(f)) {
            SongTag back;
            ASSERT_TRUE(back.read(f));
            EXPECT_EQ(back.title, "Rewritten") << i;
        } else {
            EXPECT_EQ(test::readFile(f), before);  // a refused write changes nothing
        }
    }
}

TEST(Robustness, TextParsers) {
    std::mt19937 rng(7);
    const QByteArray ini =
        "[option]\r\nglbsleep=0x10\r\n[recent]\r\n0=/a\r\n1=$\r\nscreenfont.name=A\r\n";
    const QByteArray playlist = "a.mp3\r\n/abs/b.mp3\r\nhttp://h/c.mp3\r\n#x\r\n";
    for (int i = 0; i < kRounds; ++i) {
        const IniDocument doc = IniDocument::parse(TextFile::decodeLines(mutate(ini, rng)));
        doc.readList("recent");
        doc.readInteger("option", "glbsleep", 0);
        const IniDocument again = IniDocument::parse(doc.toLines());
        EXPECT_EQ(again.sectionNames().size(), doc.sectionNames().size());
        const QStringList lines = TextFile::decodeLines(mutate(playlist, rng));
        EXPECT_EQ(PlaylistFile::complete(lines, "/l", true).size(), lines.size());
    }
}

// Every damaged archive opens and extracts, or refuses with a message; a refused member leaves
// no file behind and nothing is ever written outside the target.
TEST(Robustness, DamagedArchives) {
    QTemporaryDir dir;
    std::mt19937 rng(5);
    const QList<QPair<QByteArray, QByteArray>> members{{"a.mp3", QByteArray(200, 'a')},
                                                       {"b.mp3", "bbb"}};
    const QByteArray lha = test::lhaArchive(members);
    test::zipArchive(dir.filePath("seed.zip"), members);
    const QByteArray zip = test::readFile(dir.filePath("seed.zip"));
    const QString out = dir.filePath("out/member.mp3");
    int refused = 0, extracted = 0;
    const auto extractAll = [&](const auto& archive) {
        for (qsizetype m = 0; m < archive.members().size(); ++m) {
            QDir(dir.filePath("out")).removeRecursively();
            QDir().mkpath(dir.filePath("out"));
            try {
                archive.extract(m, out);
                ++extracted;
                EXPECT_LE(QFileInfo(out).size(), archive.members()[m].size);
            } catch (const ArchiveError& e) {
                ++refused;
                EXPECT_GT(std::strlen(e.what()), 5u);
                EXPECT_TRUE(QDir(dir.filePath("out")).isEmpty()) << e.what();
            }
        }
    };
    for (int i = 0; i < 100; ++i) {
        for (const bool isZip : {false, true}) {
            const QString path = dir.filePath(isZip ? "d.zip" : "d.lzh");
            test::writeFile(path, mutate(isZip ? zip : lha, rng));
            try {
                if (isZip)
                    extractAll(ZipArchive(path));
                else
                    extractAll(LhaArchive(path));
            } catch (const ArchiveError& e) {
                ++refused;
                EXPECT_GT(std::strlen(e.what()), 5u);
            }
        }
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(extracted, 0);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
              QStringList({"d.lzh", "d.zip", "seed.zip"}));
}

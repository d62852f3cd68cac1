// Shell Link files built here byte by byte after the published format, and link resolution on
// real files and symbolic links in a temp folder.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "LinkResolver.h"
#include "ShellLink.h"
#include "TestSupport.h"

using mixora::LinkResolver;
using mixora::ShellLink;
using mixora::ShellLinkError;
using mixora::test::put16;
using mixora::test::put32;
using mixora::test::TempDir;

namespace {

/// What goes into a test link.
struct LinkSpec {
    std::string localBase{};       // ANSI local base path; empty for none
    std::u16string unicodeBase{};  // Unicode local base path (LinkInfo header 0x24); empty for none
    std::string suffix{};          // common path suffix
    std::string share{};           // network share name; empty for none
    std::u16string relative{};     // StringData relative path; empty for none
    bool idList = true;
    bool unicodeStrings = true;
};

void putUtf16z(std::vector<uint8_t>& out, const std::u16string& s) {
    for (char16_t c : s) put16(out, c);
    put16(out, 0);
}
void putAnsiz(std::vector<uint8_t>& out, const std::string& s) {
    out.insert(out.end(), s.begin(), s.end());
    out.push_back(0);
}

std::vector<uint8_t> buildLink(const LinkSpec& spec) {
    uint32_t flags = 0x2;  // HasLinkInfo
    if (spec.idList) flags |= 0x1;
    if (!spec.relative.empty()) flags |= 0x8;
    if (spec.unicodeStrings) flags |= 0x80;
    flags |= 0x4;  // HasName, so the relative path is not the first string

    std::vector<uint8_t> out;
    put32(out, 0x4C);
    for (uint8_t b : {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00,
                      0x00, 0x00, 0x46})
        out.push_back(b);
    put32(out, flags);
    out.resize(0x4C, 0);  // attributes, times, size, icon, show command, hot key, reserved

    if (spec.idList) {
        put16(out, 6);  // one made-up item and the terminator
        put16(out, 4);
        put16(out, 0x1234);
        put16(out, 0);
    }

    // LinkInfo
    const bool unicode = !spec.unicodeBase.empty();
    const uint32_t headerSize = unicode ? 0x24 : 0x1C;
    std::vector<uint8_t> body;
    const uint32_t volumeOffset = headerSize;
    std::vector<uint8_t> volume;
    put32(volume, 0x11);  // VolumeIDSize
    put32(volume, 3);     // fixed drive
    put32(volume, 0xCAFE);
    put32(volume, 0x10);  // label offset
    volume.push_back(0);
    body.insert(body.end(), volume.begin(), volume.end());
    const uint32_t localOffset = headerSize + static_cast<uint32_t>(body.size());
    putAnsiz(body, spec.localBase);
    uint32_t networkOffset = 0;
    if (!spec.share.empty()) {
        networkOffset = headerSize + static_cast<uint32_t>(body.size());
        std::vector<uint8_t> link;
        put32(link, static_cast<uint32_t>(0x14 + spec.share.size() + 1));
        put32(link, 0);
        put32(link, 0x14);  // NetNameOffset
        put32(link, 0);
        put32(link, 0);
        putAnsiz(link, spec.share);
        body.insert(body.end(), link.begin(), link.end());
    }
    const uint32_t suffixOffset = headerSize + static_cast<uint32_t>(body.size());
    putAnsiz(body, spec.suffix);
    uint32_t unicodeOffset = 0;
    if (unicode) {
        unicodeOffset = headerSize + static_cast<uint32_t>(body.size());
        putUtf16z(body, spec.unicodeBase);
    }

    uint32_t infoFlags = 0;
    if (!spec.localBase.empty() || unicode) infoFlags |= 1;
    if (!spec.share.empty()) infoFlags |= 2;
    std::vector<uint8_t> info;
    put32(info, headerSize + static_cast<uint32_t>(body.size()));
    put32(info, headerSize);
    put32(info, infoFlags);
    put32(info, volumeOffset);
    put32(info, localOffset);
    put32(info, networkOffset);
    put32(info, suffixOffset);
    if (unicode) {
        put32(info, unicodeOffset);
        put32(info, 0);
    }
    out.insert(out.end(), info.begin(), info.end());
    out.insert(out.end(), body.begin(), body.end());

    // StringData: name, then relative path.
    auto putString = [&](const std::u16string& s) {
        put16(out, static_cast<uint32_t>(s.size()));
        for (char16_t c : s) {
            if (spec.unicodeStrings)
                put16(out, c);
            else
                out.push_back(static_cast<uint8_t>(c));
        }
    };
    putString(u"A song");
    if (!spec.relative.empty()) putString(spec.relative);
    put32(out, 0);  // terminal extra block
    return out;
}

}  // namespace

TEST(ShellLinkTest, ReadsLocalPathRelativePathAndNetworkShare) {
    const auto ansi = ShellLink::parse(buildLink(
        {.localBase = "C:\\Music\\", .suffix = "song.mp3", .relative = u"..\\Music\\song.mp3"}));
    EXPECT_EQ(ansi.localPath, "C:\\Music\\song.mp3");
    EXPECT_EQ(ansi.relativePath, "..\\Music\\song.mp3");

    // Unicode base path (preferred over the ANSI one), and no ID list.
    const auto wide = ShellLink::parse(buildLink({.localBase = "C:\\M?sica\\x.mp3",
                                                  .unicodeBase = u"C:\\M\u00fasica\\\u97f3.mp3",
                                                  .idList = false}));
    EXPECT_EQ(wide.localPath, "C:\\M\u00fasica\\\u97f3.mp3");

    // ANSI strings that are not UTF-8 are read as Latin-1; 8-bit StringData.
    const auto latin = ShellLink::parse(buildLink(
        {.localBase = "D:\\Caf\xe9.mp3", .relative = u"Caf\u00e9.mp3", .unicodeStrings = false}));
    EXPECT_EQ(latin.localPath, "D:\\Caf\u00e9.mp3");
    EXPECT_EQ(latin.relativePath, "Caf\u00e9.mp3");

    const auto net = ShellLink::parse(buildLink({.suffix = "a.mp3", .share = "\\\\server\\music"}));
    EXPECT_EQ(net.networkPath, "\\\\server\\music\\a.mp3");
    EXPECT_EQ(net.localPath, "");
}

TEST(ShellLinkTest, DamagedLinksAreErrorsNeverOverruns) {
    EXPECT_FALSE(ShellLink::isShellLink(std::vector<uint8_t>(10, 0)));
    EXPECT_THROW(ShellLink::parse(std::vector<uint8_t>(200, 0)), ShellLinkError);

    const auto good = buildLink({.localBase = "C:\\a.mp3", .relative = u"a.mp3"});
    for (size_t n = 0x4C; n < good.size(); ++n) {
        try {
            ShellLink::parse(std::span(good.data(), n));
        } catch (const ShellLinkError&) {
        }
    }
    // Offsets pointing anywhere: random corruption of everything after the header.
    std::mt19937 rng(11);
    for (int round = 0; round < 3000; ++round) {
        auto bad = good;
        for (int k = 0; k < 4; ++k) {
            const size_t at = 0x14 + rng() % (bad.size() - 0x14);
            bad[at] = static_cast<uint8_t>(rng());
        }
        try {
            ShellLink::parse(bad);
        } catch (const ShellLinkError&) {
        }
    }
}

TEST(LinkResolverTest, FollowsShellLinksAndSymbolicLinks) {
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "Music");
    std::filesystem::create_directories(dir.path() / "links");
    const std::string song = dir.file("Music/song.mp3");
    mixora::test::writeFile(song, {1, 2, 3});
    const std::string real = std::filesystem::canonical(song).string();

    // Relative path, taken from the link's own folder.
    const std::string lnk = dir.file("links/song.lnk");
    mixora::test::writeFile(lnk, buildLink({.localBase = "C:\\Elsewhere\\song.mp3",
                                            .relative = u"..\\Music\\song.mp3"}));
    EXPECT_EQ(LinkResolver::resolve(lnk), real);

    // A symbolic link to the .lnk file, and a symbolic link to the song itself.
    const std::string viaSymlink = dir.file("alias.lnk");
    std::filesystem::create_symlink(lnk, viaSymlink);
    EXPECT_EQ(LinkResolver::resolve(viaSymlink), real);
    const std::string songLink = dir.file("song-link.mp3");
    std::filesystem::create_symlink(song, songLink);
    EXPECT_EQ(LinkResolver::resolve(songLink), real);

    // Local path that exists once the drive letter is dropped.
    const std::string absolute = dir.file("abs.lnk");
    std::string windowsPath = "C:" + real;
    for (char& c : windowsPath)
        if (c == '/') c = '\\';
    mixora::test::writeFile(absolute, buildLink({.localBase = windowsPath}));
    EXPECT_EQ(LinkResolver::resolve(absolute), real);

    // A target that does not exist here still comes back, in local form.
    const std::string gone = dir.file("gone.lnk");
    mixora::test::writeFile(gone, buildLink({.localBase = "E:\\Old Disk\\track.mp3"}));
    EXPECT_EQ(LinkResolver::resolve(gone), "/Old Disk/track.mp3");

    // Unresolvable: missing file, dangling symbolic link, damaged link.
    EXPECT_EQ(LinkResolver::resolve(dir.file("nothing.lnk")), "");
    const std::string dangling = dir.file("dangling.lnk");
    std::filesystem::create_symlink(dir.file("nothing.lnk"), dangling);
    EXPECT_EQ(LinkResolver::resolve(dangling), "");
    auto damaged = buildLink({.localBase = "C:\\a.mp3"});
    damaged.resize(0x60);
    const std::string broken = dir.file("broken.lnk");
    mixora::test::writeFile(broken, damaged);
    EXPECT_EQ(LinkResolver::resolve(broken), "");
    EXPECT_EQ(LinkResolver::resolve(""), "");

    // An ordinary file is its own target.
    EXPECT_EQ(LinkResolver::resolve(song), real);
}

TEST(LinkResolverTest, WindowsPathsToLocalForm) {
    EXPECT_EQ(LinkResolver::toLocalPath("C:\\Music\\a.mp3"), "/Music/a.mp3");
    EXPECT_EQ(LinkResolver::toLocalPath("music\\a.mp3"), "music/a.mp3");
    EXPECT_EQ(LinkResolver::toLocalPath("z:"), "");
    EXPECT_EQ(LinkResolver::toLocalPath("1:\\x"), "1:/x");
}

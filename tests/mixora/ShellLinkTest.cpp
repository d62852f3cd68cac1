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
    const bool unicode = !spec.unicodeBase.empty();
    // HasLinkInfo and HasName (so the relative path is not the first string), then the options.
    const uint32_t flags = 0x6 | (spec.idList ? 0x1 : 0) | (spec.relative.empty() ? 0 : 0x8) |
                           (spec.unicodeStrings ? 0x80 : 0);
    std::vector<uint8_t> out;
    put32(out, 0x4C);
    out.insert(out.end(), {0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46});
    put32(out, flags);
    out.resize(0x4C, 0);  // attributes, times, size, icon, show command, hot key, reserved
    if (spec.idList)
        for (uint32_t v : {6, 4, 0x1234, 0}) put16(out, v);  // one made-up item, the terminator

    // LinkInfo: its header, then volume ID, local base, network link, suffix, Unicode base.
    const uint32_t headerSize = unicode ? 0x24 : 0x1C;
    std::vector<uint8_t> body;
    for (uint32_t v : {0x11, 3, 0xCAFE, 0x10}) put32(body, v);  // fixed drive, empty label
    body.push_back(0);
    const auto here = [&] { return headerSize + static_cast<uint32_t>(body.size()); };
    const uint32_t localOffset = here();
    putAnsiz(body, spec.localBase);
    const uint32_t networkOffset = spec.share.empty() ? 0 : here();
    if (!spec.share.empty()) {
        for (uint32_t v : {static_cast<uint32_t>(0x14 + spec.share.size() + 1), 0u, 0x14u, 0u, 0u})
            put32(body, v);  // the share name follows the 0x14-byte header
        putAnsiz(body, spec.share);
    }
    const uint32_t suffixOffset = here();
    putAnsiz(body, spec.suffix);
    const uint32_t unicodeOffset = unicode ? here() : 0;
    if (unicode) putUtf16z(body, spec.unicodeBase);
    const uint32_t infoFlags =
        (!spec.localBase.empty() || unicode ? 1u : 0u) | (spec.share.empty() ? 0u : 2u);
    for (uint32_t v :
         {here(), headerSize, infoFlags, headerSize, localOffset, networkOffset, suffixOffset})
        put32(out, v);
    if (unicode) {
        put32(out, unicodeOffset);
        put32(out, 0);
    }
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

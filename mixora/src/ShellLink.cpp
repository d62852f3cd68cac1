#include "ShellLink.h"

#include <array>
#include <cstring>

namespace mixora {

namespace {

constexpr uint32_t kHeaderSize = 0x4C;
constexpr std::array<uint8_t, 16> kLinkClsid = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

enum LinkFlags : uint32_t {
    kHasLinkTargetIdList = 0x1,
    kHasLinkInfo = 0x2,
    kHasName = 0x4,
    kHasRelativePath = 0x8,
    kHasWorkingDir = 0x10,
    kHasArguments = 0x20,
    kHasIconLocation = 0x40,
    kIsUnicode = 0x80,
    kForceNoLinkInfo = 0x100,
};
constexpr uint32_t kVolumeIdAndLocalBasePath = 0x1;
constexpr uint32_t kCommonNetworkRelativeLinkAndPathSuffix = 0x2;

/// Bounds-checked little-endian reads over a byte range.
class Bytes {
public:
    explicit Bytes(std::span<const uint8_t> data) : data_(data) {}

    uint16_t u16(size_t at) const {
        need(at, 2);
        return static_cast<uint16_t>(data_[at] | (data_[at + 1] << 8));
    }
    uint32_t u32(size_t at) const {
        need(at, 4);
        return static_cast<uint32_t>(u16(at)) | (static_cast<uint32_t>(u16(at + 2)) << 16);
    }
    /// Zero-terminated 8-bit string starting at 'at', not beyond the range.
    std::string ansiz(size_t at) const {
        need(at, 1);
        std::string s;
        for (size_t i = at;; ++i) {
            need(i, 1);
            if (data_[i] == 0) break;
            s.push_back(static_cast<char>(data_[i]));
        }
        return s;
    }
    /// Zero-terminated UTF-16LE string starting at 'at'.
    std::u16string utf16z(size_t at) const {
        std::u16string s;
        for (size_t i = at;; i += 2) {
            const char16_t c = u16(i);
            if (c == 0) break;
            s.push_back(c);
        }
        return s;
    }
    std::span<const uint8_t> sub(size_t at, size_t size) const {
        need(at, size);
        return data_.subspan(at, size);
    }
    size_t size() const { return data_.size(); }

private:
    void need(size_t at, size_t n) const {
        if (at > data_.size() || n > data_.size() - at) throw ShellLinkError("truncated link");
    }
    std::span<const uint8_t> data_;
};

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::string fromUtf16(const std::u16string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;  // unpaired surrogate
        }
        appendUtf8(out, c);
    }
    return out;
}

bool isValidUtf8(const std::string& s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<uint8_t>(s[i]);
        size_t extra;
        if (c < 0x80)
            extra = 0;
        else if ((c & 0xE0) == 0xC0 && c >= 0xC2)
            extra = 1;
        else if ((c & 0xF0) == 0xE0)
            extra = 2;
        else if ((c & 0xF8) == 0xF0 && c <= 0xF4)
            extra = 3;
        else
            return false;
        if (extra > 0 && i + extra >= s.size()) return false;
        for (size_t k = 1; k <= extra; ++k)
            if ((static_cast<uint8_t>(s[i + k]) & 0xC0) != 0x80) return false;
        i += extra + 1;
    }
    return true;
}

std::string fromAnsi(const std::string& s) {
    if (isValidUtf8(s)) return s;
    std::string out;
    for (char ch : s) appendUtf8(out, static_cast<uint8_t>(ch));
    return out;
}

void parseLinkInfo(const Bytes& info, ShellLinkTarget& target) {
    const uint32_t headerSize = info.u32(4);
    const uint32_t flags = info.u32(8);
    const uint32_t localBaseOffset = info.u32(16);
    const uint32_t networkOffset = info.u32(20);
    const uint32_t suffixOffset = info.u32(24);
    const bool unicode = headerSize >= 0x24;

    std::string suffix;
    if (unicode && info.u32(32) != 0)
        suffix = fromUtf16(info.utf16z(info.u32(32)));
    else if (suffixOffset != 0)
        suffix = fromAnsi(info.ansiz(suffixOffset));

    if (flags & kVolumeIdAndLocalBasePath) {
        std::string base;
        if (unicode && info.u32(28) != 0)
            base = fromUtf16(info.utf16z(info.u32(28)));
        else
            base = fromAnsi(info.ansiz(localBaseOffset));
        target.localPath = base + suffix;
    }
    if (flags & kCommonNetworkRelativeLinkAndPathSuffix) {
        const uint32_t linkSize = info.u32(networkOffset);
        const Bytes link(info.sub(networkOffset, linkSize));
        const uint32_t netNameOffset = link.u32(8);
        std::string share;
        if (netNameOffset > 0x14 && link.u32(20) != 0)
            share = fromUtf16(link.utf16z(link.u32(20)));
        else
            share = fromAnsi(link.ansiz(netNameOffset));
        if (!share.empty() && !suffix.empty() && share.back() != '\\') share.push_back('\\');
        target.networkPath = share + suffix;
    }
}

}  // namespace

bool ShellLink::isShellLink(std::span<const uint8_t> bytes) noexcept {
    return bytes.size() >= kHeaderSize && bytes[0] == kHeaderSize && bytes[1] == 0 &&
           bytes[2] == 0 && bytes[3] == 0 &&
           std::memcmp(bytes.data() + 4, kLinkClsid.data(), kLinkClsid.size()) == 0;
}

ShellLinkTarget ShellLink::parse(std::span<const uint8_t> bytes) {
    if (!isShellLink(bytes)) throw ShellLinkError("not a shell link");
    const Bytes file(bytes);
    const uint32_t flags = file.u32(20);
    size_t pos = kHeaderSize;

    if (flags & kHasLinkTargetIdList) pos += 2 + file.u16(pos);

    ShellLinkTarget target;
    if (flags & kHasLinkInfo) {
        const uint32_t infoSize = file.u32(pos);
        if (infoSize < 0x1C) throw ShellLinkError("link info too short");
        if (!(flags & kForceNoLinkInfo)) parseLinkInfo(Bytes(file.sub(pos, infoSize)), target);
        pos += infoSize;
    }

    // StringData: counted strings in this fixed order, each present when its flag is set.
    const bool unicode = (flags & kIsUnicode) != 0;
    auto readString = [&]() {
        const uint16_t count = file.u16(pos);
        pos += 2;
        std::string value;
        if (unicode) {
            const auto raw = file.sub(pos, size_t{count} * 2);
            std::u16string s(count, u'\0');
            for (size_t i = 0; i < count; ++i)
                s[i] = static_cast<char16_t>(raw[2 * i] | (raw[2 * i + 1] << 8));
            value = fromUtf16(s);
            pos += size_t{count} * 2;
        } else {
            const auto raw = file.sub(pos, count);
            value = fromAnsi(std::string(raw.begin(), raw.end()));
            pos += count;
        }
        return value;
    };
    try {
        if (flags & kHasName) readString();
        if (flags & kHasRelativePath) target.relativePath = readString();
        if (flags & kHasWorkingDir) target.workingDir = readString();
        if (flags & kHasArguments) readString();
        if (flags & kHasIconLocation) readString();
    } catch (const ShellLinkError&) {
        // Damaged trailing strings do not spoil a target already found in the link info.
        if (target.localPath.empty() && target.networkPath.empty()) throw;
    }
    return target;
}

}  // namespace mixora

#include "LinkResolver.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <vector>

#include "ShellLink.h"

namespace mixora {

namespace {

// Shell Links are small; a larger file is not read whole.
constexpr size_t kMaxLinkBytes = 1 << 20;

std::string canonical(const std::string& path) {
    struct FreeDeleter {
        void operator()(char* p) const { std::free(p); }
    };
    std::unique_ptr<char, FreeDeleter> resolved(::realpath(path.c_str(), nullptr));
    return resolved ? std::string(resolved.get()) : std::string();
}

bool isRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::vector<uint8_t> readHead(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes(kMaxLinkBytes);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(in ? bytes.size()
                    : static_cast<size_t>(std::max<std::streamsize>(0, in.gcount())));
    return bytes;
}

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

}  // namespace

std::string LinkResolver::toLocalPath(const std::string& windowsPath) {
    std::string p = windowsPath;
    if (p.size() >= 2 && p[1] == ':' &&
        ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z')))
        p.erase(0, 2);
    for (char& c : p)
        if (c == '\\') c = '/';
    return p;
}

std::string LinkResolver::resolve(const std::string& path) {
    if (path.empty()) return {};
    const std::string real = canonical(path);
    if (real.empty()) return {};  // missing, or a dangling symbolic link
    if (!isRegularFile(real)) return real;

    const std::vector<uint8_t> bytes = readHead(real);
    if (!ShellLink::isShellLink(bytes)) return real;

    ShellLinkTarget target;
    try {
        target = ShellLink::parse(bytes);
    } catch (const ShellLinkError&) {
        return {};
    }

    std::string relative;
    if (!target.relativePath.empty()) {
        relative = toLocalPath(target.relativePath);
        if (relative.front() != '/') relative = folderOf(real) + relative;
    }
    const std::string local = toLocalPath(target.localPath);
    for (const std::string& candidate : {relative, local}) {
        if (candidate.empty()) continue;
        const std::string found = canonical(candidate);
        if (!found.empty()) return found;
    }
    return !local.empty() ? local : relative;
}

}  // namespace mixora

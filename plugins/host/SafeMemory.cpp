#include "SafeMemory.h"

#include <sys/uio.h>
#include <unistd.h>

#include <cstdint>

namespace ombrix::pluginhost {

// process_vm_readv on our own process reads through the kernel, which answers EFAULT for an
// address that is not mapped instead of raising SIGSEGV.
bool safeCopy(void* to, const void* from, std::size_t size) {
    if (size == 0) return true;
    if (!from) return false;
    iovec local{to, size};
    iovec remote{const_cast<void*>(from), size};
    return ::process_vm_readv(::getpid(), &local, 1, &remote, 1, 0) == static_cast<ssize_t>(size);
}

bool safeText(const void* from, std::size_t limit, std::string* text) {
    text->clear();
    if (!from) return false;
    const auto* p = static_cast<const char*>(from);
    // Byte runs up to the next page boundary, so a text ending just before an unmapped page reads.
    constexpr std::uintptr_t kPage = 4096;
    while (text->size() < limit) {
        const auto address = reinterpret_cast<std::uintptr_t>(p);
        std::size_t run = kPage - (address % kPage);
        if (run > limit - text->size()) run = limit - text->size();
        char chunk[kPage];
        if (!safeCopy(chunk, p, run)) return false;
        for (std::size_t i = 0; i < run; ++i) {
            if (chunk[i] == '\0') return true;
            text->push_back(chunk[i]);
        }
        p += run;
    }
    return true;
}

}  // namespace ombrix::pluginhost

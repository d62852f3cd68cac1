#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace ombrix::fuzz {

/// The decoder reads files, so each input is written to one scratch file per process, removed
/// when the process ends normally.
inline const std::string& writeScratch(const uint8_t* data, size_t size) {
    struct Scratch {
        std::string path = "/tmp/ombrix-fuzz-" + std::to_string(getpid()) + ".bin";
        ~Scratch() { std::remove(path.c_str()); }
    };
    static const Scratch scratch;
    const std::string& path = scratch.path;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f) {
        if (size) std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    return path;
}

}  // namespace ombrix::fuzz

#pragma once

#include <dlfcn.h>

namespace ombrix::mp3 {

/**
 * @brief A shared library opened at run time for the functions a sound backend needs.
 *
 * The handle is never closed: the sound libraries keep threads and state of their own for the
 * life of the process. The binding is complete only when every symbol asked for was found.
 * Thread affinity: any; used once, inside a function-local static's initialiser.
 */
class SharedLibrary {
public:
    explicit SharedLibrary(const char* soname) noexcept
        : handle_(dlopen(soname, RTLD_NOW | RTLD_LOCAL)) {}

    bool opened() const noexcept { return handle_ != nullptr; }

    /// Points @p fn at the symbol @p name, or at nothing when it is missing.
    template <class Fn>
    void bind(Fn& fn, const char* name) noexcept {
        fn = handle_ ? reinterpret_cast<Fn>(dlsym(handle_, name)) : nullptr;
        complete_ = complete_ && fn != nullptr;
    }

    bool complete() const noexcept { return opened() && complete_; }

private:
    void* handle_;
    bool complete_ = true;
};

}  // namespace ombrix::mp3

#pragma once

#include <dlfcn.h>

#include <initializer_list>

namespace ombrix {

/**
 * @brief A shared library loaded when it is first needed rather than linked: the formats it
 *        serves are rare in a run, and a linked library (with what it brings in turn) costs
 *        every run memory. It stays loaded for the life of the process.
 *
 * Load it once, in a function-local static of a table of functions, and bind() each function
 * into the table; complete() says whether the library and every function were found.
 */
class RuntimeLibrary {
public:
    /// Opens the first of @p names that loads (a versioned name first, then the plain one).
    RuntimeLibrary(std::initializer_list<const char*> names) {
        for (const char* name : names) {
            handle_ = dlopen(name, RTLD_NOW | RTLD_LOCAL);
            if (handle_) break;
        }
        complete_ = handle_ != nullptr;
    }

    template <class Fn>
    void bind(Fn& fn, const char* name) {
        fn = handle_ ? reinterpret_cast<Fn>(dlsym(handle_, name)) : nullptr;
        complete_ = complete_ && fn != nullptr;
    }

    bool complete() const noexcept { return complete_; }

private:
    void* handle_ = nullptr;
    bool complete_ = false;
};

}  // namespace ombrix

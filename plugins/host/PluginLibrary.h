#pragma once

#include <string>

namespace ombrix::pluginhost {

/// A shared object opened with dlopen (RTLD_NOW | RTLD_LOCAL), closed with the object.
class PluginLibrary {
public:
    PluginLibrary() = default;
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    /// False when the file is not a loadable shared object.
    bool open(const std::string& path);
    void close();
    bool isOpen() const { return handle_ != nullptr; }
    void* handle() const { return handle_; }

    /// The export @p plain, else @p decorated (a name with "@" and the argument bytes), else null.
    template <typename F>
    F find(const char* plain, const char* decorated = nullptr) const {
        return reinterpret_cast<F>(symbol(plain, decorated));
    }

private:
    void* symbol(const char* plain, const char* decorated) const;
    void* handle_ = nullptr;
};

}  // namespace ombrix::pluginhost

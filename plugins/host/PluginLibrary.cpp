#include "PluginLibrary.h"

#include <dlfcn.h>

namespace ombrix::pluginhost {

PluginLibrary::~PluginLibrary() {
    close();
}

bool PluginLibrary::open(const std::string& path) {
    close();
    handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    return handle_ != nullptr;
}

void PluginLibrary::close() {
    if (handle_) ::dlclose(handle_);
    handle_ = nullptr;
}

void* PluginLibrary::symbol(const char* plain, const char* decorated) const {
    if (!handle_) return nullptr;
    void* found = ::dlsym(handle_, plain);
    if (!found && decorated) found = ::dlsym(handle_, decorated);
    return found;
}

}  // namespace ombrix::pluginhost

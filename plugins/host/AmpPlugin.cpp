#include "AmpPlugin.h"

#include <cstring>
#include <string>

#include "SafeMemory.h"

namespace ombrix::pluginhost {

Status AmpPlugin::openModules() {
    modules_.clear();
    const std::string path(block_.path, boundedLength(block_.path, sizeof block_.path));
    if (!library_.open(path)) return Status::InvalidPlugin;
    auto getHeader = library_.find<winampVisGetHeaderType>("winampVisGetHeader");
    if (!getHeader) return Status::InvalidFormat;
    // The library's pointers are checked before they are followed: garbage ends the load, and
    // only a garbage function pointer can still crash this process (the player survives that).
    winampVisHeader header{};
    if (!safeCopy(&header, getHeader(), sizeof header) || !header.getModule)
        return Status::InvalidPlugin;
    for (int32_t i = 0; i < kMaxModules; ++i) {
        winampVisModule* module = header.getModule(i);
        if (!module) break;
        winampVisModule copy;
        std::string name;
        if (!safeCopy(&copy, module, sizeof copy) ||
            !safeText(copy.description, kMaxModuleName - 1, &name))
            return Status::InvalidPlugin;
        copyText(block_.modules[i], kMaxModuleName, name.data(), name.size());
        modules_.push_back(module);
    }
    return modules_.empty() ? Status::InvalidPlugin : Status::Ok;
}

Status AmpPlugin::load(int32_t* value) {
    *value = 0;
    const Status status = openModules();
    if (status != Status::Ok) {
        library_.close();
        return status;
    }
    *value = static_cast<int32_t>(modules_.size());
    std::memset(block_.canvas, 0, sizeof block_.canvas);
    canvas_ = OmbrixAmpCanvas{block_.canvas, kCanvasWidth, kCanvasHeight, kCanvasWidth};
    return selectModule(0);
}

Status AmpPlugin::selectModule(int32_t index) {
    if (index < 0 || index >= static_cast<int32_t>(modules_.size())) return Status::InvalidPlugin;
    quitModule();
    module_ = modules_[static_cast<std::size_t>(index)];
    module_->hwndParent = &canvas_;
    module_->hDllInstance = library_.handle();
    module_->sRate = 44100;
    module_->nCh = 2;
    needsInit_ = true;
    return Status::Ok;
}

Status AmpPlugin::update() {
    if (!module_) return Status::InvalidPlugin;
    if (block_.haveSpectrum)
        std::memcpy(module_->spectrumData, block_.spectrum, sizeof module_->spectrumData);
    if (block_.haveWaveform)
        std::memcpy(module_->waveformData, block_.waveform, sizeof module_->waveformData);
    if (needsInit_) {
        needsInit_ = false;
        if (module_->Init && module_->Init(module_) != 0) {
            module_ = nullptr;
            return Status::Ended;
        }
        initialised_ = true;
    }
    if (module_->Render && module_->Render(module_) != 0) {
        quitModule();
        module_ = nullptr;
        return Status::Ended;
    }
    return Status::Ok;
}

Status AmpPlugin::prepareConfig(int32_t module) {
    const Status status = openModules();
    if (status != Status::Ok) return status;
    if (module < 0 || module >= static_cast<int32_t>(modules_.size())) module = 0;
    module_ = modules_[static_cast<std::size_t>(module)];
    if (!module_->Config) return Status::Absent;
    canvas_ = OmbrixAmpCanvas{block_.canvas, kCanvasWidth, kCanvasHeight, kCanvasWidth};
    module_->hwndParent = &canvas_;
    module_->hDllInstance = library_.handle();
    module_->sRate = 44100;
    module_->nCh = 2;
    return Status::Ok;
}

void AmpPlugin::runConfig() {
    if (module_ && module_->Config) module_->Config(module_);
}

Status AmpPlugin::describe() {
    block_.description[0] = '\0';
    const Status status = openModules();
    if (status != Status::Ok) return status;
    std::string text;
    for (std::size_t i = 0; i < modules_.size(); ++i) {
        if (i) text += '\n';
        text += block_.modules[i];
    }
    copyText(block_.description, sizeof block_.description, text.data(), text.size());
    return Status::Ok;
}

void AmpPlugin::quitModule() {
    if (module_ && initialised_ && module_->Quit) module_->Quit(module_);
    initialised_ = false;
}

void AmpPlugin::close() {
    quitModule();
    module_ = nullptr;
    modules_.clear();
    library_.close();
}

}  // namespace ombrix::pluginhost

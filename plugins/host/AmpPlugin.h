#pragma once

#include <vector>

#include "HostedPlugin.h"
#include "PluginLibrary.h"
#include "ombrix/winamp_vis.h"

namespace ombrix::pluginhost {

/// A Winamp visualisation library: its modules, the chosen one's Init, Render and Quit, and
/// the canvas it draws into.
class AmpPlugin final : public HostedPlugin {
public:
    explicit AmpPlugin(SharedBlock& block) : block_(block) {}
    ~AmpPlugin() override { close(); }

    Status load(int32_t* value) override;
    Status update() override;
    Status selectModule(int32_t index) override;
    Status prepareConfig(int32_t module) override;
    void runConfig() override;
    Status describe() override;
    void close() override;

private:
    /// Opens the library and reads its modules' names into the block.
    Status openModules();
    void quitModule();

    SharedBlock& block_;
    PluginLibrary library_;
    std::vector<winampVisModule*> modules_;
    winampVisModule* module_ = nullptr;
    OmbrixAmpCanvas canvas_{};
    bool needsInit_ = false;
    bool initialised_ = false;
};

}  // namespace ombrix::pluginhost

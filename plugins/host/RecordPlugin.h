#pragma once

#include <string>

#include "HostedPlugin.h"
#include "PluginLibrary.h"

namespace ombrix::pluginhost {

/// A background or full-screen plug-in: _Open, _Update and _Close over the shared record.
class RecordPlugin final : public HostedPlugin {
public:
    explicit RecordPlugin(SharedBlock& block) : block_(block) {}
    ~RecordPlugin() override { close(); }

    Status load(int32_t* value) override;
    Status update() override;
    Status selectModule(int32_t) override { return Status::InvalidPlugin; }
    Status prepareConfig(int32_t module) override;
    void runConfig() override;
    Status describe() override;
    void close() override;

private:
    void prepareRecord();

    SharedBlock& block_;
    PluginLibrary library_;
    std::string programFolder_;
    OmbrixCloseFunction close_ = nullptr;
    OmbrixUpdateFunction update_ = nullptr;
    OmbrixConfigFunction config_ = nullptr;
    bool opened_ = false;
};

}  // namespace ombrix::pluginhost

#pragma once

#include <cstdint>
#include <memory>

#include "HostProtocol.h"

namespace ombrix::pluginhost {

/// One plug-in library as the host drives it; the block is the one shared with the player.
class HostedPlugin {
public:
    virtual ~HostedPlugin() = default;

    /// Loads the library named in the block and starts it; @p value receives the module count
    /// of an amp library (their names are in the block).
    virtual Status load(int32_t* value) = 0;
    /// Draws one frame from the inputs in the block.
    virtual Status update() = 0;
    virtual Status selectModule(int32_t index) = 0;
    /// Loads the library and tells whether it has settings of its own (Ok) or not (Absent).
    virtual Status prepareConfig(int32_t module) = 0;
    /// Shows the settings prepared by prepareConfig; may take as long as the user does.
    virtual void runConfig() = 0;
    /// Loads the library and copies its description into the block.
    virtual Status describe() = 0;
    /// Ends the plug-in (_Close or Quit) and unloads it.
    virtual void close() = 0;

    static std::unique_ptr<HostedPlugin> create(SharedBlock& block);
};

}  // namespace ombrix::pluginhost

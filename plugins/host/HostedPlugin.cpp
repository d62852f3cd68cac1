#include "HostedPlugin.h"

#include "AmpPlugin.h"
#include "RecordPlugin.h"

namespace ombrix::pluginhost {

std::unique_ptr<HostedPlugin> HostedPlugin::create(SharedBlock& block) {
    if (block.kind == Kind::Amp) return std::make_unique<AmpPlugin>(block);
    return std::make_unique<RecordPlugin>(block);
}

}  // namespace ombrix::pluginhost

#include "RecordPlugin.h"

#include <cstring>

#include "SafeMemory.h"

namespace ombrix::pluginhost {

void RecordPlugin::prepareRecord() {
    programFolder_.assign(block_.programFolder,
                          boundedLength(block_.programFolder, sizeof block_.programFolder));
    OmbrixPluginRecord& r = block_.record;
    std::memset(&r, 0, sizeof r);
    r.module = library_.handle();
    r.programDirectory = programFolder_.c_str();
    r.frame = block_.frame;
    r.width = block_.width;
    r.height = block_.height;
}

Status RecordPlugin::load(int32_t* value) {
    *value = 0;
    const std::string path(block_.path, boundedLength(block_.path, sizeof block_.path));
    if (!library_.open(path)) return Status::InvalidPlugin;
    auto open = library_.find<OmbrixOpenFunction>("_Open", "_Open@4");
    close_ = library_.find<OmbrixCloseFunction>("_Close", "_Close@0");
    update_ = library_.find<OmbrixUpdateFunction>("_Update", "_Update@12");
    if (!open || !close_ || !update_) {
        close_ = nullptr;
        update_ = nullptr;
        library_.close();
        return Status::InvalidPlugin;
    }
    prepareRecord();
    open(&block_.record);
    opened_ = true;
    return Status::Ok;
}

Status RecordPlugin::update() {
    if (!opened_) return Status::InvalidPlugin;
    // The plug-in gets a copy of its own: it may keep or scribble on the pointer.
    char title[kMaxTitle];
    copyText(title, sizeof title, block_.title, boundedLength(block_.title, sizeof block_.title));
    update_(title, block_.timeMs, 0);
    return Status::Ok;
}

Status RecordPlugin::prepareConfig(int32_t) {
    const std::string path(block_.path, boundedLength(block_.path, sizeof block_.path));
    if (!library_.open(path)) return Status::InvalidPlugin;
    config_ = library_.find<OmbrixConfigFunction>("_Config", "_Config@4");
    if (!config_) return Status::Absent;
    prepareRecord();
    return Status::Ok;
}

void RecordPlugin::runConfig() {
    if (config_) config_(&block_.record);
}

Status RecordPlugin::describe() {
    block_.description[0] = '\0';
    const std::string path(block_.path, boundedLength(block_.path, sizeof block_.path));
    if (!library_.open(path)) return Status::InvalidPlugin;
    auto description = library_.find<OmbrixDescriptionFunction>("_Description", "_Description@0");
    if (!description) return Status::Absent;
    std::string text;
    if (safeText(description(), sizeof block_.description - 1, &text))
        copyText(block_.description, sizeof block_.description, text.data(), text.size());
    return Status::Ok;
}

void RecordPlugin::close() {
    if (opened_ && close_) close_();
    opened_ = false;
    close_ = nullptr;
    update_ = nullptr;
    config_ = nullptr;
    library_.close();
}

}  // namespace ombrix::pluginhost

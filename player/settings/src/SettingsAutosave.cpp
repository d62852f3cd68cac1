#include "ombrix/settings/SettingsAutosave.h"

#include <exception>

#include "ombrix/settings/SettingsStore.h"

namespace ombrix {

SettingsAutosave::SettingsAutosave(SettingsStore& store, int delayMs) : store_(store) {
    timer_.setSingleShot(true);
    timer_.setInterval(delayMs);
    connect(&timer_, &QTimer::timeout, this, &SettingsAutosave::save);
    connect(&store_, &SettingsStore::changed, &timer_, qOverload<>(&QTimer::start));
}

void SettingsAutosave::flush() {
    if (!timer_.isActive()) return;
    timer_.stop();
    save();
}

void SettingsAutosave::save() {
    try {
        store_.saveAll();
    } catch (const std::exception& e) {
        if (failureReported_) return;
        failureReported_ = true;
        emit failed(QStringLiteral("Could not save the settings: ") + QString::fromUtf8(e.what()));
    }
}

}  // namespace ombrix

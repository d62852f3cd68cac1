#include "ombrix/desktop/DesktopIntegration.h"

#include <QDBusConnection>

#include "ombrix/control/PlaybackController.h"
#include "ombrix/desktop/GlobalHotKeys.h"
#include "ombrix/desktop/MprisService.h"
#include "ombrix/desktop/PortalHotKeys.h"
#include "ombrix/desktop/SongNotifier.h"
#include "ombrix/settings/SettingsStore.h"

namespace ombrix {

DesktopIntegration::DesktopIntegration(PlaybackController& controller, const SettingsStore& store,
                                       Hooks hooks, QObject* parent)
    : QObject(parent), controller_(controller), store_(store), hooks_(std::move(hooks)) {}

DesktopIntegration::~DesktopIntegration() = default;

bool DesktopIntegration::start() {
    if (mpris_) return true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qWarning("%s", qPrintable(kNoBusMessage));
        if (hooks_.status) hooks_.status(kNoBusMessage);
        return false;
    }
    mpris_ =
        std::make_unique<MprisService>(controller_, MprisService::Hooks{hooks_.raise, hooks_.quit});
    notifier_ = std::make_unique<SongNotifier>(bus);
    connect(mpris_.get(), &MprisService::trackStarted, this, [this](const PlayerState& s) {
        if (store_.settings().songnotify) notifier_->notify(s);
    });
    if (!mpris_->registerOn(bus)) {
        const QString text =
            QStringLiteral("the media controls cannot be offered on the session bus");
        qWarning("%s", qPrintable(text));
        if (hooks_.status) hooks_.status(text);
        return false;
    }
    return true;
}

std::unique_ptr<GlobalHotKeys> DesktopIntegration::createHotKeys(QObject* parent) {
    auto keys = GlobalHotKeys::create(parent);
    if (keys->available()) return keys;
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (PortalHotKeys::portalOffered(bus)) return std::make_unique<PortalHotKeys>(bus, parent);
    return std::make_unique<UnavailableHotKeys>(
        keys->unavailableReason() + QStringLiteral(" Media keys still work through MPRIS."),
        parent);
}

}  // namespace ombrix

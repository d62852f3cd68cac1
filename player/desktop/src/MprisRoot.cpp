#include "MprisRoot.h"

#include "ombrix/desktop/MprisService.h"

namespace ombrix {

MprisRoot::MprisRoot(MprisService& service) : QDBusAbstractAdaptor(&service), service_(service) {}

QStringList MprisRoot::supportedUriSchemes() const {
    return {QStringLiteral("file"), QStringLiteral("http"), QStringLiteral("https")};
}

QStringList MprisRoot::supportedMimeTypes() const {
    return {QStringLiteral("audio/mpeg"),
            QStringLiteral("audio/mp2"),
            QStringLiteral("audio/x-wav"),
            QStringLiteral("audio/x-mpegurl"),
            QStringLiteral("application/x-ombrix-playlist"),
            QStringLiteral("application/zip")};
}

void MprisRoot::Raise() {
    service_.raise();
}

void MprisRoot::Quit() {
    service_.quit();
}

}  // namespace ombrix
